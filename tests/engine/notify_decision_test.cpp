#include "engine/notify_decision.h"

#include <gtest/gtest.h>

namespace {

TEST(NotifyDecisionTest, Table) {
    struct Case { bool regionEqual, greater; int flag; bool shown, flagRead; };
    const Case cases[] = {
        {false, false, 0, true, false},  // another region: always, whatever the flag
        {false, true, 0, true, false},
        {true, true, 1, true, true},
        {true, true, 0, false, true},
        {true, false, 1, false, false},  // not newer: the flag is not even read
    };
    for (const Case& c : cases) {
        bool read = false;
        EXPECT_EQ(ShouldNotify(c.regionEqual, c.greater, [&] { read = true; return c.flag; }), c.shown);
        EXPECT_EQ(read, c.flagRead);
    }
}

}  // namespace
