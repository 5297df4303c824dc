#include "ui/download_plan.h"

#include <gtest/gtest.h>

#include <limits>

namespace {
TEST(PlanDownloadsTest, KeepsManifestOrderWithSizes) {
    std::vector<S_UpdateFileInfo> files(4);
    files[0].FileName = "QIRAClient.exe";
    files[0].Size = 300;
    files[1].FileName = "data\\b.dat";
    files[2].FileName = "c.dll";
    files[2].Size = 12;
    files[3].FileName = "d.bin";
    files[3].Size = 99999999999ull;
    const DownloadPlan plan = PlanDownloads(files);
    EXPECT_EQ(plan.Names, (std::vector<std::string>{"QIRAClient.exe", "data\\b.dat", "c.dll", "d.bin"}));
    EXPECT_EQ(plan.ExpectedSizes, (std::vector<int32_t>{300, 0, 12, std::numeric_limits<int32_t>::max()}));
    EXPECT_TRUE(PlanDownloads({}).Names.empty());
}
}  // namespace
