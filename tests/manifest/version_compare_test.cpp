#include "manifest/manifest.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionCompareTest, ByteWiseNotNumeric) {
    struct Case { const char* version; const char* than; bool greater; };
    const Case cases[] = {
        {"2.0.1", "2.0", true},        {"2.0", "2.0.1", false},
        {"1.0.10", "1.0.9", false},    {"1.0.9", "1.0.10", true},
        {"4.0.9.1", "4.0.9", true},    {"4.0.10", "4.0.9", false},
        {"1.0", "", true},             {"", "", false},
        {"1.0", "1.0", false},         {"4.0.1008", "4.0.1008a", false},
        {"a", "B", true},              {"\xb0\xa1", "z", true},  // unsigned: 0xB0 > 'z'
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsVersionGreater(c.version, c.than), c.greater) << c.version << " vs " << c.than;
    }
}

}  // namespace
