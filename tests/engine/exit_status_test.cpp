#include "engine/exit_status.h"

#include <gtest/gtest.h>

namespace {

TEST(ExitStatusTest, OnlyTheSystemsCrashAndLoadStatusesAreFailedStarts) {
    for (const uint32_t failed : {0xC0000005u, 0xC0000409u, 0xC00000FDu, 0xC0000374u, 0xC0000135u, 0xC0000139u,
                                  0xC0000142u, 0xC000007Bu, 0x80000003u}) {
        EXPECT_TRUE(IsFailedStartStatus(failed)) << DescribeExitStatus(failed);
    }
    for (const uint32_t own : {0u, 1u, 3u, 0xFFFFFFFFu, 0xC000013Au, 0xE06D7363u, 0xC0010001u, 0x40010004u, 0x80004005u}) {
        EXPECT_FALSE(IsFailedStartStatus(own)) << DescribeExitStatus(own);
    }
    EXPECT_EQ(DescribeExitStatus(0xC0000005u), "0xC0000005 (access violation)");
    EXPECT_EQ(DescribeExitStatus(0u), "0x00000000");
}

}  // namespace
