#include "engine/patch_use.h"

#include "manifest/release_reader.h"

#include <gtest/gtest.h>

namespace {

const std::string kInstalled(32, 'a');
const std::string kEarlier(32, 'b');

S_UpdateFileInfo ReadFile(const std::string& keys) {
    Release release;
    EXPECT_TRUE(ReadRelease("[a.dll]\r\nMD5=" + std::string(32, 'c') + "\r\n" + keys, ManifestLayout::DataPackage, 2,
                            release));
    S_UpdateFileInfo file = release.Files.at(0);
    file.InstalledMD5 = ListedMd5::Read(kInstalled)->Bytes;
    return file;
}

// A file travels as the patch listed for its installed copy, only when that
// saves bytes and its listed size bounds the result; an entry that cannot
// be read is passed over, and the rest of the list still counts.
TEST(PatchUseTest, OnlyThePatchForTheInstalledCopyAndOnlyWhenItSaves) {
    const std::string patches = "PATCH=" + kEarlier + ":90,garbage," + kInstalled + ":0," + kInstalled + ":300," +
                                kInstalled + ":1,B" + kEarlier.substr(1) + ":5\r\n";
    S_UpdateFileInfo file = ReadFile("SIZE=1000\r\n" + patches);
    EXPECT_EQ(file.Patches.Unusable, (std::vector<std::string>{"garbage", kInstalled + ":0", kInstalled + ":1",
                                                               "B" + kEarlier.substr(1) + ":5"}));
    ASSERT_TRUE(PatchToFetch(file));
    EXPECT_EQ(PatchToFetch(file)->Bytes, 300u);
    EXPECT_FALSE(PatchToFetch(ReadFile("SIZE=1000\r\nGZSIZE=300\r\n" + patches))) << "the .gz is no larger";
    for (const std::string size : {"", "1k"}) {
        EXPECT_FALSE(PatchToFetch(ReadFile("SIZE=" + size + "\r\n" + patches))) << "no bound for the result: " << size;
    }
    file.InstalledMD5.reset();
    EXPECT_FALSE(PatchToFetch(file));
}

}  // namespace
