#include "engine/patch_use.h"

#include <gtest/gtest.h>

namespace {

const std::string kInstalled(32, 'a');
const std::string kEarlier(32, 'b');

// A file travels as the patch listed for its installed copy, only when that
// saves bytes and its listed size bounds the result; an entry that cannot
// be read is passed over, and the rest of the list still counts.
TEST(PatchUseTest, OnlyThePatchForTheInstalledCopyAndOnlyWhenItSaves) {
    S_UpdateFileInfo file{"a.dll", "", "1000", "", "", "", kInstalled};
    file.Patch = kEarlier + ":90,garbage," + kInstalled + ":0," + kInstalled + ":300," + kInstalled + ":1,B" +
                 kEarlier.substr(1) + ":5";
    const ListedPatches listed = ParseListedPatches(file.Patch);
    EXPECT_EQ(listed.Unusable, (std::vector<std::string>{"garbage", kInstalled + ":0", kInstalled + ":1",
                                                         "B" + kEarlier.substr(1) + ":5"}));
    ASSERT_TRUE(PatchToFetch(file));
    EXPECT_EQ(PatchToFetch(file)->Bytes, 300u);
    file.GzSize = "300";
    EXPECT_FALSE(PatchToFetch(file)) << "the .gz is no larger";
    file.GzSize.clear();
    for (const std::string size : {"", "1k"}) {
        file.Size = size;
        EXPECT_FALSE(PatchToFetch(file)) << "no bound for the result: " << size;
    }
    file.Size = "1000";
    file.InstalledMD5.clear();
    EXPECT_FALSE(PatchToFetch(file));
}

}  // namespace
