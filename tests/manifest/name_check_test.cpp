#include "manifest/name_check.h"

#include <gtest/gtest.h>

namespace {

TEST(NameCheckTest, AcceptsRelativeNamesWithSubFolders) {
    for (const char* name : {"a.dll", "skin\\a.png", "Data\\New\\a.dat", "x.y.z", "console\\ok", "COM0",
                             "\xb9\xdc\xbc\xd2\\\xca\xfd\xbe\xdd.dat" /* 管家\数据.dat */}) {
        EXPECT_TRUE(IsSafeManifestName(name)) << name;
    }
}

TEST(NameCheckTest, RefusesNamesThatLeaveTheFolder) {
    for (const char* name : {"", "..\\..\\x", "a\\..\\b", "a\\.\\b", ".", "\\x", "/x", "C:\\x", "C:x",
                             "\\\\host\\share\\x", "a\\\\b", "a\\", "a/b", "x:y", "a|b", "a?b", "a*b",
                             "a<b", "a\"b", "tab\there", "con", "NUL.txt", "a\\aux", "lpt1", "COM9.log",
                             "trailing.", "trailing ", "a\\b.\\c"}) {
        EXPECT_FALSE(IsSafeManifestName(name)) << name;
    }
}

// Beside installed files these names are the updater's own backups and
// temporary copies; a release file so named would be removed or renamed.
TEST(NameCheckTest, RefusesTheUpdatersOwnSuffixes) {
    for (const char* name : {"a.bak", "sub\\A.BAK", "a.updating", "x.dll.Updating"}) {
        EXPECT_FALSE(IsSafeManifestName(name)) << name;
    }
    for (const char* name : {"a.bak1", "bak", "a.bakery", "updating.dll"}) EXPECT_TRUE(IsSafeManifestName(name)) << name;
}

// 0x5C ('\') and 0x7C ('|') occur as GBK trail bytes; they belong to the
// character and neither split nor spoil the name.
TEST(NameCheckTest, GbkTrailBytesAreNotSeparators) {
    const std::string withBackslashTrail = "\xd5\x5c.dat";  // one GBK character whose trail is 0x5C
    EXPECT_TRUE(IsSafeManifestName(withBackslashTrail));
    EXPECT_TRUE(IsSafePackageName(withBackslashTrail));
    EXPECT_TRUE(IsSafeManifestName("\x81\x7c"));
    EXPECT_FALSE(IsSafeManifestName("a\x81"));  // lead byte without its trail
}

TEST(NameCheckTest, PackageNameIsOnePlainFolderName) {
    EXPECT_TRUE(IsSafePackageName("Map"));
    EXPECT_TRUE(IsSafePackageName("Foo Bar-2"));
    for (const char* name : {"", ".", "..", "a\\b", "a/b", "C:", "..\\x", "nul"}) {
        EXPECT_FALSE(IsSafePackageName(name)) << name;
    }
}

}  // namespace
