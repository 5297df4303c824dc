#include "settings/update_settings.h"

#include "config/config_file.h"
#include "settings/host_address.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace {
using Keys = std::map<std::string, std::string>;  // "Update" keys of Config.dat

UpdateSettings ReadWith(const Keys& update, std::optional<std::string> useProxy) {
    TempDir dir;
    {
        CCryptConfigFile config(dir.File("Config.dat"), "");
        for (const auto& [key, value] : update) config.WriteString("Update", key, value);
    }
    if (useProxy) CCryptConfigFile(dir.File("UserConfig.dat"), "").WriteString("Server", "UseProxy", *useProxy);
    return ReadUpdateSettings(dir.Path());
}

TEST(UpdateSettingsTest, MissingFilesGiveDefaults) {
    TempDir dir;
    const UpdateSettings settings = ReadUpdateSettings(dir.Path());
    EXPECT_EQ(settings.Version, "");
    EXPECT_EQ(settings.Region, "");
    ASSERT_EQ(settings.Servers.size(), 1u);
    EXPECT_EQ(settings.Servers[0].Address, "");
    EXPECT_EQ(settings.Servers[0].Port, 0);
    EXPECT_TRUE(settings.UseProxy);
    EXPECT_EQ(settings.ReleaseKey, "");
}

TEST(UpdateSettingsTest, VersionRegionAndDottedPrimary) {
    const UpdateSettings settings =
        ReadWith({{"Version", "3.1.0"}, {"Region", "cn"}, {"ServerIP", "10.0.0.5"}, {"ServerPort", "8080"},
                  {"ReleaseKey", "BGD+1Lol="}},
                 {});
    EXPECT_EQ(settings.ReleaseKey, "BGD+1Lol=");
    EXPECT_EQ(settings.Version, "3.1.0");
    EXPECT_EQ(settings.Region, "cn");
    ASSERT_EQ(settings.Servers.size(), 1u);
    EXPECT_EQ(settings.Servers[0].Address, "10.0.0.5");
    EXPECT_EQ(settings.Servers[0].Host, "10.0.0.5");
    EXPECT_EQ(settings.Servers[0].Port, 8080);
}

// The look-up decides which servers are usable; requests go to the name.
TEST(UpdateSettingsTest, HostNamesResolvedAndKept) {
    const UpdateSettings settings = ReadWith(
        {{"ServerIP", "localhost"}, {"ServerPort", "80"}, {"ServerIP2", "10.1.2.3"}, {"ServerPort2", "70000"}}, {});
    ASSERT_EQ(settings.Servers.size(), 2u);
    EXPECT_EQ(settings.Servers[0].Address, "127.0.0.1");
    EXPECT_EQ(settings.Servers[0].Host, "localhost");
    EXPECT_EQ(HostOf(settings.Servers[0]), "localhost");
    EXPECT_EQ(settings.Servers[0].Port, 80);
    EXPECT_EQ(settings.Servers[1].Address, "10.1.2.3");
    EXPECT_EQ(settings.Servers[1].Host, "10.1.2.3");
    EXPECT_EQ(settings.Servers[1].Port, 4464);  // 70000 & 0xFFFF
}

TEST(UpdateSettingsTest, SecondaryOnlyWithAddress) {
    const std::vector<Keys> cases = {
        {},
        {{"ServerIP2", ""}, {"ServerPort2", "81"}},
        {{"ServerIP2", "no-such-host.invalid"}, {"ServerPort2", "81"}},
    };
    for (const Keys& secondary : cases) {
        Keys keys = secondary;
        keys["ServerIP"] = "no-such-host.invalid";  // the primary stays even unresolved
        keys["ServerPort"] = "65536";
        const UpdateSettings settings = ReadWith(keys, {});
        ASSERT_EQ(settings.Servers.size(), 1u);
        EXPECT_EQ(settings.Servers[0].Address, "");
        EXPECT_EQ(settings.Servers[0].Host, "") << "an unresolved server is not addressed at all";
        EXPECT_EQ(settings.Servers[0].Port, 0);
    }
}

TEST(UpdateSettingsTest, UseProxyFlag) {
    const std::pair<std::optional<std::string>, bool> cases[] = {
        {std::nullopt, true}, {"0", false}, {"1", true}, {"5", true}, {"-1", true}, {"", false}};
    for (const auto& [value, expected] : cases) EXPECT_EQ(ReadWith({}, value).UseProxy, expected) << value.value_or("absent");
}

TEST(UpdateSettingsTest, WebSiteAndTheStateOfConfigDat) {
    TempDir dir;
    EXPECT_EQ(ReadUpdateSettings(dir.Path()).ConfigState, CryptConfigState::Missing);
    EXPECT_TRUE(ReadUpdateSettings(dir.Path()).IsConfigUsable());
    dir.Write("Config.dat", "[Server]\r\nWebSiteURL=http://example.com/\r\n");  // seeded by hand
    const UpdateSettings plain = ReadUpdateSettings(dir.Path());
    EXPECT_EQ(plain.WebSiteURL, "http://example.com/");
    EXPECT_TRUE(plain.IsConfigUsable());
    dir.Write("Config.dat", std::string("QCF1") + std::string(40, 'x'));  // the tag cannot verify
    const UpdateSettings corrupt = ReadUpdateSettings(dir.Path());
    EXPECT_EQ(corrupt.ConfigState, CryptConfigState::Corrupt);
    EXPECT_FALSE(corrupt.IsConfigUsable());
}

// The newest accepted publication time per target: read with the settings,
// and written only forward, merged with the other keys.
TEST(UpdateSettingsTest, NewestPublishedTimesOnlyMoveForward) {
    using namespace std::chrono_literals;
    const UtcTime time = *ParseUtcTime("2026-12-08T07:00:00Z");
    const UpdateSettings seeded = ReadWith({{"ServerIP", "10.0.0.5"},
                                            {"newestpublished.PACKAGE7", "2026-12-01T00:00:00Z"},
                                            {"NewestPublished.package3", "yesterday"},
                                            {"NewestPublished.package1", "2026-12-01T00:00:00Z"}},
                                           {});
    EXPECT_EQ(seeded.NewestPublished, (NewestPublishedTimes{{7, time - 7 * 24h - 7h}}));
    TempDir dir;
    EXPECT_EQ(CClientConfig(dir.Path()).WriteNewestPublished(1, time), NewestPublishedWrite::Written);
    CCryptConfigFile(dir.File("Config.dat"), "").WriteString("Update", "ServerIP", "10.0.0.5");
    EXPECT_EQ(CClientConfig(dir.Path()).WriteNewestPublished(1, time), NewestPublishedWrite::AlreadyNewer);
    EXPECT_EQ(CClientConfig(dir.Path()).WriteNewestPublished(1, time - 1s), NewestPublishedWrite::AlreadyNewer);
    EXPECT_EQ(CClientConfig(dir.Path()).WriteNewestPublished(7, time - 1s), NewestPublishedWrite::Written);
    CClientConfig config(dir.Path());
    EXPECT_EQ(config.WriteNewestPublished(7, time), NewestPublishedWrite::Written);
    EXPECT_EQ(config.Settings().NewestPublishedFor(7), time) << "what the run holds follows its write";
    const UpdateSettings settings = ReadUpdateSettings(dir.Path());
    EXPECT_EQ(settings.NewestPublished, (NewestPublishedTimes{{1, time}, {7, time}}));
    EXPECT_EQ(settings.NewestPublishedFor(1), time);
    EXPECT_EQ(settings.NewestPublishedFor(2), std::nullopt);
    EXPECT_EQ(settings.Servers[0].Address, "10.0.0.5");
    std::string written;
    CCryptConfigFile(dir.File("Config.dat"), "").ReadString("Update", "NewestPublished.program", "", written);
    EXPECT_EQ(written, "2026-12-08T07:00:00Z");
    // Hand-edited, the key twice: the greater time binds, survives other
    // writes, and is the one a write keeps.
    dir.Write("Config.dat", "[Update]\r\nNewestPublished.program=2026-12-09T00:00:00Z\r\n"
                            "newestpublished.PROGRAM=2026-12-10T00:00:00Z\r\n");
    EXPECT_EQ(ReadUpdateSettings(dir.Path()).NewestPublishedFor(1), time + 17h + 24h);
    CCryptConfigFile(dir.File("Config.dat"), "").WriteString("Update", "Version", "4.1");
    EXPECT_EQ(CClientConfig(dir.Path()).WriteNewestPublished(1, time + 17h), NewestPublishedWrite::AlreadyNewer);
    EXPECT_EQ(CClientConfig(dir.Path()).WriteNewestPublished(1, time + 18h + 24h), NewestPublishedWrite::Written);
    std::vector<std::string> values;
    CCryptConfigFile(dir.File("Config.dat"), "").ReadValues("Update", "NewestPublished.program", values);
    EXPECT_EQ(values, std::vector<std::string>{"2026-12-10T01:00:00Z"});
    dir.Write("unreadable\\Config.dat\\x", "");  // a folder where the file should be
    EXPECT_EQ(CClientConfig(dir.File("unreadable\\")).WriteNewestPublished(1, time), NewestPublishedWrite::ConfigUnreadable);
}

TEST(ResolveHostAddressTest, EmptyAndUnresolvable) {
    std::string address = "stale";
    EXPECT_FALSE(ResolveHostAddress("", address));
    EXPECT_EQ(address, "");
    address = "stale";
    EXPECT_FALSE(ResolveHostAddress("no-such-host.invalid", address));
    EXPECT_EQ(address, "stale");
}

TEST(ResolveHostAddressTest, DottedFormsTakenWithoutLookup) {
    struct Case {
        const char* host;
        bool dotted;
    };
    const Case cases[] = {{"10.0.0.5", true},    {"0.0.0.0", true},        {"255.255.255.255", true},
                          {"10.5", false},       {"010.0.0.1", false},     {"0x7f.0.0.1", false},
                          {"256.0.0.1", false},  {"1.2.3.4.", false},      {"1.2.3.4 ", false},
                          {"1.2.3", false},      {"1.2.3.4.5", false},     {"1..3.4", false},
                          {"localhost", false},  {"1234.1.1.1", false},    {"", false}};
    for (const Case& c : cases) EXPECT_EQ(IsDottedIPv4(c.host), c.dotted) << c.host;
}
}  // namespace
