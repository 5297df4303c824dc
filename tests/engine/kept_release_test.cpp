#include "engine/kept_release.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Noted(const KeptRelease& kept) {
    std::vector<std::string> names;
    for (const KeptName& entry : kept.Names) names.push_back((entry.Replaced ? "replaced " : "added ") + entry.Name);
    return names;
}

// What a rollback must put back is what was there before the first attempt
// of an install: a keep goes on across attempts and across a release that
// takes the place of one not installed whole, and only a recorded install
// of another release starts afresh.
TEST(KeptReleaseTest, AKeepGoesOnUntilAnotherReleaseWasInstalledWhole) {
    const auto installedNow = [](const std::string& name) { return name != "new.dll"; };
    bool fresh = false;
    KeptRelease kept = KeepForInstall(std::nullopt, "B", "2.0", "1.0", {"a.dll", "new.dll"}, installedNow, fresh);
    EXPECT_TRUE(fresh);
    EXPECT_EQ(Noted(kept), (std::vector<std::string>{"replaced a.dll", "added new.dll"}));

    // Cut short, then another release: new.dll is there now, yet stays added.
    kept = KeepForInstall(kept, "C", "2.1", "2.0", {"NEW.dll", "b.dll"}, installedNow, fresh);
    EXPECT_FALSE(fresh);
    EXPECT_EQ(kept.OldVersion, "1.0");
    EXPECT_EQ(kept.ReleaseId, "C");
    EXPECT_EQ(Noted(kept), (std::vector<std::string>{"replaced a.dll", "added new.dll", "replaced b.dll"}));

    // The same release put in place again: c.dll, which its install left
    // alone, was the same in the release before and stays out.
    kept.State = KeptState::Installed;
    EXPECT_EQ(Noted(KeepForInstall(kept, "C", "2.1", "2.1", {"c.dll"}, installedNow, fresh)), Noted(kept));
    EXPECT_FALSE(fresh);
    EXPECT_EQ(Noted(KeepForInstall(kept, "D", "3.0", "2.1", {"c.dll"}, installedNow, fresh)),
              std::vector<std::string>{"replaced c.dll"});
    EXPECT_TRUE(fresh);
}

TEST(KeptReleaseTest, TheRecordReadsBackAsWritten) {
    TempDir dir;
    KeptRelease kept;
    kept.State = KeptState::RollingBack;
    kept.ReleaseId = "0123456789abcdef0123456789abcdef";
    kept.NewVersion = "2.0 beta";
    kept.OldVersion = "1.0";
    kept.InstalledVersion = "2.0 beta";
    kept.RecordSection = "2026-01-02 03:04:05";
    for (int n = 0; n < 12; ++n) kept.Names.push_back({"dir\\a=" + std::to_string(n) + " .dll", n % 3 != 0});
    ASSERT_TRUE(WriteKeptRelease(dir.File("Previous.kept"), kept));
    const std::optional<KeptRelease> read = ReadKeptRelease(dir.File("Previous.kept"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->State, KeptState::RollingBack);
    EXPECT_EQ(read->ReleaseId, kept.ReleaseId);
    EXPECT_EQ(read->NewVersion, kept.NewVersion);
    EXPECT_EQ(read->InstalledVersion, kept.InstalledVersion);
    EXPECT_EQ(read->RecordSection, kept.RecordSection);
    EXPECT_EQ(Noted(*read), Noted(kept));

    dir.Write("Previous.kept", "[Kept]\r\nState=unknown\r\n");
    EXPECT_FALSE(ReadKeptRelease(dir.File("Previous.kept")));
}

}  // namespace
