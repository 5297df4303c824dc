#include "ui/download_plan.h"

#include <gtest/gtest.h>

#include <limits>

namespace {
TEST(PlanDownloadsTest, KeepsManifestOrderWithSizes) {
    const std::vector<S_UpdateFileInfo> files = {{"QIRAClient.exe", "", "300", "a"},
                                                 {"data\\b.dat", "", "x", "b"},
                                                 {"c.dll", "", " 12abc", "c"},
                                                 {"d.bin", "", "99999999999999999999", "d"}};
    const DownloadPlan plan = PlanDownloads(files);
    EXPECT_EQ(plan.Names, (std::vector<std::string>{"QIRAClient.exe", "data\\b.dat", "c.dll", "d.bin"}));
    EXPECT_EQ(plan.ExpectedSizes, (std::vector<int32_t>{300, 0, 12, std::numeric_limits<int32_t>::max()}));
    EXPECT_TRUE(PlanDownloads({}).Names.empty());
}
}  // namespace
