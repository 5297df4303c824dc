#include "transfer/progress_throttle.h"

#include <gtest/gtest.h>

namespace {
constexpr uint64_t kKiB = 1024;

struct Step {
    uint64_t received;
    uint64_t millis;
    bool due;
};

TEST(ProgressThrottle, NeedsBothEnoughBytesAndEnoughTime) {
    CProgressThrottle throttle(10 * 64 * kKiB, 1000);
    const Step steps[] = {
        {64 * kKiB, 1050, false},       // bytes enough, too soon
        {64 * kKiB - 1, 1200, false},   // time enough, too few bytes since start
        {64 * kKiB, 1100, true},
        {100 * kKiB, 1300, false},      // only 36 KiB since the last one
        {128 * kKiB, 1199, false},      // 99 ms after the last one
        {128 * kKiB, 1200, true},
        {640 * kKiB - 1, 5000, true},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(throttle.IsDue(s.received, s.millis), s.due) << s.received << " at " << s.millis;
    }
}

TEST(ProgressThrottle, NeverAtOrPastTheTotalNorWithoutOne) {
    CProgressThrottle known(256 * kKiB, 0);
    EXPECT_FALSE(known.IsDue(256 * kKiB, 10000));
    EXPECT_FALSE(known.IsDue(300 * kKiB, 20000));
    CProgressThrottle unknown(0, 0);
    EXPECT_FALSE(unknown.IsDue(64 * kKiB, 10000));
}
}  // namespace
