#include "manifest/manifest.h"

#include <gtest/gtest.h>

namespace {

ManifestHeader Header(const std::string& version, const std::string& region, bool notify = false) {
    ManifestHeader header;
    header.Version = version;
    header.Region = region;
    header.Notify = notify;
    return header;
}

// A release is read once: absent keys are empty texts and 0, and a
// manifest written by hand gets an identity from what it lists, which the
// publisher's RELEASEID replaces.
TEST(ManifestHeaderTest, AbsentKeysReadAsEmptyAndZero) {
    Release release;
    ASSERT_TRUE(ReadRelease("[version]\r\nversion=4.0.2\r\nNOTIFIY=2\r\n", ManifestLayout::Program, 1, release));
    const ManifestHeader& header = release.Header;
    EXPECT_EQ(header.Version, "4.0.2");
    EXPECT_EQ(header.Region, "");
    EXPECT_FALSE(header.Unconditional);
    EXPECT_TRUE(header.Notify);
    EXPECT_EQ(header.ReleaseId, DeriveReleaseId(1, "4.0.2", {}));

    // [Version] without VERSION is the empty version; no [Version] at all is no manifest.
    ASSERT_TRUE(ReadRelease("[Version]\r\nUNCONDITIONALUPDATE=1\r\n", ManifestLayout::Program, 1, release));
    EXPECT_EQ(release.Header.Version, "");
    EXPECT_FALSE(ReadRelease("<html>[FILES]\r\n", ManifestLayout::Program, 1, release));

    const std::string files = "[FILES]\r\na.txt\r\n[a.txt]\r\nMD5=5d41402abc4b2a76b9719d911017c592\r\n";
    ASSERT_TRUE(ReadRelease("[Version]\r\nVERSION=4.1\r\n" + files, ManifestLayout::Program, 1, release));
    const std::string derived = release.Header.ReleaseId;
    EXPECT_TRUE(IsReleaseId(derived));
    EXPECT_EQ(derived, DeriveReleaseId(1, "4.1", {{"a.txt", "5d41402abc4b2a76b9719d911017c592"}}));
    ASSERT_TRUE(ReadRelease("[Version]\r\nVERSION=4.1\r\n" + files, ManifestLayout::Program, 2, release));
    EXPECT_NE(release.Header.ReleaseId, derived);  // another target
    ASSERT_TRUE(ReadRelease("[Version]\r\nVERSION=4.1\r\nRELEASEID=0123456789abcdef0123456789abcdef\r\n" + files,
                            ManifestLayout::Program, 1, release));
    EXPECT_EQ(release.Header.ReleaseId, "0123456789abcdef0123456789abcdef");
    ASSERT_TRUE(ReadRelease("; FILECOUNT=1\r\n; RELEASEID=0123456789abcdef0123456789abcdef\r\n"
                            "[a.txt]\r\nSIZE=5\r\nMD5=5d41402abc4b2a76b9719d911017c592\r\nFILECOUNT=1\r\n",
                            ManifestLayout::DataPackage, 2, release));
    EXPECT_EQ(release.Header.ReleaseId, "0123456789abcdef0123456789abcdef");
}

// The program layout's keys and a data package's marks read alike: absent
// is every installation, and a value that is not what the publisher writes
// is a pause, never more than was meant.
TEST(ManifestHeaderTest, RolloutReadsAsWrittenAndAnythingMalformedAsAPause) {
    struct Case { const char *share, *start, *days; uint32_t read; bool growth; };
    const char* const start = "2026-12-04T00:00:00Z";
    const char* const none = nullptr;
    const Case cases[] = {
        {none, none, none, 1000, false}, {"25", none, none, 250, false},   {"2.5", none, none, 25, false},
        {"100.0", none, none, 1000, false}, {"0", none, none, 0, false},   {"5", start, "10", 50, true},
        {"25%", none, none, 0, false},   {"100.1", none, none, 0, false},  {"2.55", none, none, 0, false},
        {"-1", none, none, 0, false},    {"1e1", none, none, 0, false},    {"", none, none, 0, false},
        {"5", start, none, 0, false},    {none, start, "10", 0, false},    {"5", "2026-12-04", "10", 0, false},
        {"5", start, "0", 0, false},     {"5", start, "3651", 0, false},   {"5", start, "1.5", 0, false},
    };
    for (const Case& c : cases) {
        std::string keys, marks;
        for (const auto& [key, value] :
             {std::pair{"ROLLOUT", c.share}, {"ROLLOUTSTART", c.start}, {"ROLLOUTDAYS", c.days}}) {
            if (!value) continue;
            keys += std::string(key) + "=" + value + "\r\n";
            marks += std::string("; ") + key + "=" + value + "\r\n";
        }
        Release program, package;
        ASSERT_TRUE(ReadRelease("[Version]\r\nVERSION=4.0.3\r\n" + keys, ManifestLayout::Program, 1, program));
        const std::string section = "[a.txt]\r\nSIZE=1\r\nMD5=0cc175b9c0f1b6a831c399e269772661\r\nFILECOUNT=1\r\n";
        ASSERT_TRUE(ReadRelease("; FILECOUNT=1\r\n" + marks + section, ManifestLayout::DataPackage, 2, package));
        for (const ReleaseRollout& rollout : {program.Header.Rollout, package.Header.Rollout}) {
            EXPECT_EQ(rollout.Share, c.read) << keys;
            EXPECT_EQ(rollout.Growth.has_value(), c.growth) << keys;
            EXPECT_EQ(rollout.Problem.empty(), c.read > 0 || (c.share && std::string_view(c.share) == "0")) << keys;
        }
    }
}

TEST(ManifestHeaderTest, NotificationTable) {
    struct Case { std::string version, region; bool notify, shown; };
    const Case cases[] = {
        {"4.0.1", "tw", false, true},   // another region: always, whatever the flag
        {"4.1", "tw", false, true},
        {"4.1", "cn", true, true},      // newer and asked for
        {"4.1", "cn", false, false},    // newer, not asked for
        {"4.0.10", "cn", true, false},  // not newer byte by byte
        {"4.0.9", "cn", true, false},   // equal
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShouldNotify(Header(c.version, c.region, c.notify), "4.0.9", "cn"), c.shown)
            << c.version << " " << c.region;
    }
}

TEST(ManifestHeaderTest, DueWhenForcedOtherRegionOrGreater) {
    EXPECT_FALSE(IsUpdateDue(Header("4.0.9", "cn"), "4.0.9", "cn"));
    EXPECT_TRUE(IsUpdateDue(Header("4.0.9", "CN"), "4.0.9", "cn"));
    EXPECT_TRUE(IsUpdateDue(Header("4.0.9.1", "cn"), "4.0.9", "cn"));
    ManifestHeader forced = Header("1.0", "cn");
    forced.Unconditional = true;
    EXPECT_TRUE(IsUpdateDue(forced, "4.0.9", "cn"));
}

}  // namespace

namespace {
// A pack member counts only when it names a pack as the publisher writes it
// and a form the section lists with exactly its length: anything else is no
// reason to refuse the release, the file then travels on its own.
TEST(ManifestPackTest, AMemberIsTakenOnlyWithAFormOfItsLength) {
    const std::string pack = "PACK=packs/0123456789abcdef0123456789abcdef.pack\r\n";
    struct Case { std::string keys; bool packed; };
    const Case cases[] = {
        {pack + "PACKOFFSET=7\r\nPACKLENGTH=5\r\nPACKFORM=plain\r\n", true},
        {pack + "PACKOFFSET=7\r\nPACKLENGTH=3\r\nPACKFORM=gz\r\n", true},
        {pack + "PACKOFFSET=7\r\nPACKLENGTH=4\r\nPACKFORM=plain\r\n", false},  // not SIZE
        {pack + "PACKOFFSET=7\r\nPACKLENGTH=5\r\nPACKFORM=gz\r\n", false},     // not GZSIZE
        {pack + "PACKOFFSET=7\r\nPACKLENGTH=5\r\nPACKFORM=xz\r\n", false},
        {pack + "PACKOFFSET=18446744073709551615\r\nPACKLENGTH=5\r\nPACKFORM=plain\r\n", false},
        {"PACK=../secret.pack\r\nPACKOFFSET=7\r\nPACKLENGTH=5\r\nPACKFORM=plain\r\n", false},
    };
    for (const Case& c : cases) {
        Release release;
        ASSERT_TRUE(ReadRelease("[a.txt]\r\nSIZE=5\r\nGZSIZE=3\r\n" + c.keys, ManifestLayout::DataPackage, 2, release));
        const std::optional<ListedPackMember>& member = release.Files[0].Packed;
        EXPECT_EQ(member.has_value(), c.packed) << c.keys;
        if (member) {
            EXPECT_EQ(member->Offset, 7u);
        }
    }
}
}  // namespace
