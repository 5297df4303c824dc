#include "base/handles_win.h"
#include "base/path_info.h"
#include "delta/patch_file.h"
#include "delta/patch_maker.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

// The running client may hold its files open for writing, sharing only
// reading and writing: the installed copy is still read as the base.
TEST(PatchFileWinTest, ABaseHeldOpenForWritingIsRead) {
    TempDir dir;
    const std::string base(70000, 'b');
    const std::string result = base + "and more";
    dir.Write("client.log", base);
    dir.Write("client.log.patch", MakePatch(base, result).Bytes);
    const UniqueFile held(CreateFileW(LongPath(dir.File("client.log")).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    const PatchResult applied = ApplyPatchFile(dir.File("client.log.patch"), dir.File("client.log"), dir.File("staged"),
                                               {result.size(), {}, {}});
    EXPECT_TRUE(applied.Applied()) << DescribePatchResult(applied);
    EXPECT_EQ(dir.Read("staged"), result);
}

}  // namespace
