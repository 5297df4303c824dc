#include "manifest/manifest_header.h"

#include "config/config_syntax.h"

#include <gtest/gtest.h>

namespace {

ManifestHeader Header(const std::string& version, const std::string& region, bool notify = false) {
    ManifestHeader header;
    header.Version = version;
    header.Region = region;
    header.Notify = notify;
    return header;
}

TEST(ManifestHeaderTest, AbsentKeysReadAsEmptyAndZero) {
    const CConfigFile manifest(ConfigDocument::Parse("[version]\r\nversion=4.0.2\r\nNOTIFIY=2\r\n"));
    const ManifestHeader header = ReadManifestHeader(manifest);
    EXPECT_EQ(header.Version, "4.0.2");
    EXPECT_EQ(header.Region, "");
    EXPECT_FALSE(header.Unconditional);
    EXPECT_TRUE(header.Notify);
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
