#include "engine/update_run_win.h"

#include "base/handles_win.h"
#include "base/gbk_text.h"
#include "config/config_file.h"
#include "config/crypt_config_store.h"
#include "crypto/file_digests.h"
#include "crypto/md5_digest.h"
#include "engine/install_marker.h"
#include "manifest/release_signature.h"
#include "support/served_tree_win.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>

namespace {

const std::string kHelloMd5 = "5d41402abc4b2a76b9719d911017c592";
const std::string kWorldMd5 = "7d793037a0760186574b0282f2f435e7";

// Release 4.0.2 with a.dll ("hello") and sub\b.txt ("world").
std::string ProgramManifest(const std::string& header) {
    return "[Version]\r\n" + header + "[FILES]\r\na.dll\r\nsub\\b.txt\r\n[a.dll]\r\nSIZE=5\r\nMD5=" + kHelloMd5 +
           "\r\n[sub\\b.txt]\r\nSIZE=5\r\nMD5=" + kWorldMd5 + "\r\n";
}
const std::string kFileSections = "[a.dll]\r\nSIZE=5\r\nMD5=" + kHelloMd5 + "\r\n[sub\\b.txt]\r\nSIZE=5\r\nMD5=" +
                                  kWorldMd5 + "\r\n";

using ProfileFor = std::function<RunProfile(const std::string& applicationFolder)>;

// An installation of 4.0.1 whose a.dll is old and whose sub\b.txt is
// missing but was already staged by an earlier attempt.
class UpdateRunTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(served.Available()) << "run me through tests/server/update_server.py";
        Configure("4.0.1");
        served.Put(1, "a.dll", "hello");
        served.Put(1, "sub\\b.txt", "world");
        app.Write("a.dll", "old");
    }
    void Configure(const std::string& version, const std::string& releaseKey = "") const {
        app.Write("Config.dat", "[Update]\r\nVersion=" + version + "\r\nRegion=cn\r\nServerIP=127.0.0.1\r\nServerPort=" +
                                    std::to_string(served.Server().Port) + "\r\nReleaseKey=" + releaseKey + "\r\n");
        app.Write("UserConfig.dat", "[Server]\r\nUseProxy=0\r\n");
    }
    CUpdateRun Run(const RunProfile& profile) const { return CUpdateRun(profile); }

    std::vector<std::string> PathsSince(size_t mark) const {
        std::vector<std::string> paths;
        const std::vector<LoggedRequest> requests = served.Requests();
        for (size_t i = mark; i < requests.size(); ++i) paths.push_back(requests[i].path);
        return paths;
    }
    std::string ConfiguredVersion() const {
        std::string version;
        CCryptConfigFile(app.File("Config.dat"), "").ReadString("Update", "Version", "", version);
        return version;
    }
    // The record's sections as "section: IsSucceed NewVersion OldVersion".
    std::vector<std::string> Record() const {
        const ConfigDocument record = LoadCryptConfig(app.File("UpdateRecord.dat"), "").Document;
        std::vector<std::string> sections, lines;
        record.AppendSectionNames(sections);
        for (const std::string& section : sections) {
            std::string line = section + ":";
            for (const char* key : {"IsSucceed", "NewVersion", "OldVersion"}) {
                const std::string* value = record.Find(section, key);
                line += " " + (value ? *value : std::string("-"));
            }
            lines.push_back(line);
        }
        return lines;
    }

    ServedTree served;
    TempDir app;
};

std::vector<std::string> Names(const std::vector<S_UpdateFileInfo>& files) {
    std::vector<std::string> names;
    for (const S_UpdateFileInfo& file : files) names.push_back(file.FileName);
    return names;
}

// The silent program run and the update dialog drive the same run: one
// manifest fetch, staged copies reused, every changed file installed,
// the version recorded.
TEST_F(UpdateRunTest, BothFrontEndsCheckFetchInstallAndRecordAlike) {
    const std::pair<const char*, ProfileFor> frontEnds[] = {
        {"silent", [](const std::string& folder) { return SilentProgramRun(folder); }},
        {"dialog", [](const std::string& folder) { return DialogRun(folder, 1, ""); }},
    };
    for (const auto& [frontEnd, profileFor] : frontEnds) {
        SCOPED_TRACE(frontEnd);
        Configure("4.0.1");
        app.Write("a.dll", "old");
        app.Write("UPDATE\\Program\\sub\\b.txt", "world");
        served.Put(1, "UpdateConfig.ini", ProgramManifest("VERSION=4.0.2\r\nREGION=cn\r\n"));

        CUpdateRun run = Run(profileFor(app.Path()));
        size_t mark = served.Requests().size();
        ASSERT_EQ(run.Check(), CheckResult::UpdateDue);
        EXPECT_EQ(PathsSince(mark), std::vector<std::string>{"/1/UpdateConfig.ini"});
        EXPECT_EQ(run.Header().Version, "4.0.2");
        EXPECT_EQ(Names(run.ChangedFiles()), (std::vector<std::string>{"a.dll", "sub\\b.txt"}));
        EXPECT_EQ(Names(run.FilesToFetch()), std::vector<std::string>{"a.dll"});

        mark = served.Requests().size();
        ASSERT_TRUE(run.FetchFiles());
        EXPECT_EQ(PathsSince(mark), std::vector<std::string>{"/1/a.dll"});
        bool askedBeforeReplacing = false;
        EXPECT_EQ(run.Install([&] { askedBeforeReplacing = app.Read("a.dll") == "old"; }), InstallResult::Installed);
        EXPECT_TRUE(askedBeforeReplacing);
        EXPECT_EQ(app.Read("a.dll"), "hello");
        EXPECT_EQ(app.Read("sub\\b.txt"), "world");
        EXPECT_EQ(ConfiguredVersion(), "4.0.2");
        ASSERT_FALSE(Record().empty());
        EXPECT_NE(Record().back().find(": 1 4.0.2 4.0.1"), std::string::npos) << Record().back();

        run.RemoveStagingFolder();
        EXPECT_FALSE(app.Exists("UPDATE\\Program"));
        app.Write("UpdateRecord.dat", "");
        app.Write("sub\\b.txt", "");
    }
}

// Forced to a version that is not greater: the silent run writes it, the
// dialog keeps the configured one; both record the install.
TEST_F(UpdateRunTest, TheDialogWritesOnlyAGreaterVersion) {
    served.Put(1, "UpdateConfig.ini", ProgramManifest("VERSION=4.0.2\r\nREGION=cn\r\nUNCONDITIONALUPDATE=1\r\n"));
    for (const bool dialog : {true, false}) {
        Configure("4.0.2a");  // longer with the same start: greater
        app.Write("a.dll", "old");
        CUpdateRun run = Run(dialog ? DialogRun(app.Path(), 1, "") : SilentProgramRun(app.Path()));
        ASSERT_EQ(run.Check(), CheckResult::UpdateDue);
        ASSERT_TRUE(run.FetchFiles());
        EXPECT_EQ(run.Install(), InstallResult::Installed);
        EXPECT_EQ(ConfiguredVersion(), dialog ? "4.0.2a" : "4.0.2") << dialog;
        EXPECT_NE(Record().back().find(": 1 4.0.2 4.0.2a"), std::string::npos) << Record().back();
        run.RemoveStagingFolder();
    }
}

TEST_F(UpdateRunTest, ADamagedStagedFileInstallsAndRecordsNothing) {
    served.Put(1, "UpdateConfig.ini", ProgramManifest("VERSION=4.0.2\r\nREGION=cn\r\n"));
    CUpdateRun run = Run(SilentProgramRun(app.Path()));
    ASSERT_EQ(run.Check(), CheckResult::UpdateDue);
    ASSERT_TRUE(run.FetchFiles());
    app.Write("UPDATE\\Program\\a.dll", "HELLO");  // the right size, other bytes
    bool replacing = false;
    EXPECT_EQ(run.Install([&] { replacing = true; }), InstallResult::StagedFilesInvalid);
    EXPECT_FALSE(replacing);
    EXPECT_EQ(app.Read("a.dll"), "old");
    EXPECT_FALSE(app.Exists("sub\\b.txt"));
    EXPECT_EQ(ConfiguredVersion(), "4.0.1");
    EXPECT_FALSE(app.Exists("UpdateRecord.dat"));
}

// Neither a name that leaves the folder nor one that would share an entry
// of the updater's own area (the program's staging folder, the log, a
// marker) is used: nothing is touched.
TEST_F(UpdateRunTest, NothingIsTouchedForAnUnusablePackageName) {
    app.Write("x.dll.bak", "kept");
    for (const char* name : {"..", "Program", "UPDATE", "Update.Log", "maps.install"}) {
        const size_t mark = served.Requests().size();
        CUpdateRun run = Run(SilentPackageRun(app.Path(), 2, name));
        EXPECT_EQ(run.Check(), CheckResult::Failed) << name;
        EXPECT_EQ(run.Outcome(), RunOutcome::Refused) << name;
        EXPECT_TRUE(PathsSince(mark).empty());
        EXPECT_TRUE(app.Exists("x.dll.bak"));
    }
}

// A data package: the silent run reads config.ini, the dialog the
// package's UpdateConfig.ini; both install into the package's folder and
// leave the package's manifest there, and neither touches the program's version.
TEST_F(UpdateRunTest, ADataPackageIsInstalledIntoItsFolderByBothFrontEnds) {
    served.Put(4, "config.ini", kFileSections);
    served.Put(4, "UpdateConfig.ini",
               "[Version]\r\nVERSION=\r\nUNCONDITIONALUPDATE=1\r\n[FILES]\r\na.dll\r\nsub\\b.txt\r\n" + kFileSections);
    served.Put(4, "a.dll", "hello");
    served.Put(4, "sub\\b.txt", "world");
    for (const bool dialog : {false, true}) {
        SCOPED_TRACE(dialog ? "dialog" : "silent");
        app.Write("Maps\\a.dll", "old");
        app.Write("Maps\\sub\\b.txt", "world");
        // The dialog fetches no config.ini of its own: one staged earlier goes in.
        if (dialog) app.Write("UPDATE\\Maps\\config.ini", kFileSections);
        CUpdateRun run = Run(dialog ? DialogRun(app.Path(), 4, "Maps") : SilentPackageRun(app.Path(), 4, "Maps"));
        const size_t mark = served.Requests().size();
        ASSERT_EQ(run.Check(), CheckResult::UpdateDue);
        ASSERT_TRUE(run.FetchFiles());
        EXPECT_EQ(PathsSince(mark), (std::vector<std::string>{dialog ? "/4/UpdateConfig.ini" : "/4/config.ini",
                                                              "/4/a.dll"}));
        EXPECT_EQ(run.Install(), InstallResult::Installed);
        EXPECT_EQ(app.Read("Maps\\a.dll"), "hello");
        EXPECT_EQ(app.Read("Maps\\config.ini"), kFileSections);
        EXPECT_EQ(ConfiguredVersion(), "4.0.1");
        EXPECT_EQ(app.Exists("UpdateRecord.dat"), dialog);
        run.RemoveStagingFolder();
        EXPECT_FALSE(app.Exists("UPDATE\\Maps"));
    }
}

// The files are the release's already but Config.dat names the old version
// (an install whose record was lost): the first run records the release,
// the second finds nothing to do and writes nothing.
TEST_F(UpdateRunTest, AReleaseAlreadyInPlaceIsRecordedOnce) {
    served.Put(1, "UpdateConfig.ini", ProgramManifest("VERSION=4.0.2\r\nREGION=cn\r\n"));
    app.Write("a.dll", "hello");
    app.Write("sub\\b.txt", "world");
    {
        CUpdateRun run = Run(SilentProgramRun(app.Path()));
        EXPECT_EQ(run.Check(), CheckResult::UpToDate);
        EXPECT_EQ(run.Outcome(), RunOutcome::Updated);
    }
    EXPECT_EQ(ConfiguredVersion(), "4.0.2");
    ASSERT_EQ(Record().size(), 1u);
    EXPECT_NE(Record().back().find(": 1 4.0.2 4.0.1"), std::string::npos) << Record().back();

    const std::string recordBefore = app.Read("UpdateRecord.dat");
    const std::string configBefore = app.Read("Config.dat");
    CUpdateRun again = Run(SilentProgramRun(app.Path()));
    EXPECT_EQ(again.Check(), CheckResult::UpToDate);
    EXPECT_EQ(again.Outcome(), RunOutcome::NothingToDo);
    EXPECT_EQ(app.Read("UpdateRecord.dat"), recordBefore);
    EXPECT_EQ(app.Read("Config.dat"), configBefore);
}

// Another region with a version that is not greater installs nothing and
// records nothing when the files are in place.
TEST_F(UpdateRunTest, ANewRegionAloneRecordsNothing) {
    served.Put(1, "UpdateConfig.ini", ProgramManifest("VERSION=4.0.1\r\nREGION=tw\r\n"));
    app.Write("a.dll", "hello");
    app.Write("sub\\b.txt", "world");
    CUpdateRun run = Run(SilentProgramRun(app.Path()));
    EXPECT_EQ(run.Check(), CheckResult::UpToDate);
    EXPECT_FALSE(app.Exists("UpdateRecord.dat"));
}

// Config.dat held by the client without write sharing while the version is
// recorded: the files are in, but the install does not count as succeeded
// and the next run, with Config.dat free again, records it.
TEST_F(UpdateRunTest, AVersionThatCannotBeWrittenIsNotClaimed) {
    served.Put(1, "UpdateConfig.ini", ProgramManifest("VERSION=4.0.2\r\nREGION=cn\r\n"));
    {
        const UniqueFile held(CreateFileW(Widen(app.File("Config.dat")).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        CUpdateRun run = Run(SilentProgramRun(app.Path()));
        ASSERT_EQ(run.Check(), CheckResult::UpdateDue);
        ASSERT_TRUE(run.FetchFiles());
        EXPECT_EQ(run.Install(), InstallResult::Incomplete);
        EXPECT_EQ(run.Outcome(), RunOutcome::Incomplete);
        EXPECT_EQ(app.Read("a.dll"), "hello");
    }
    EXPECT_EQ(ConfiguredVersion(), "4.0.1");
    EXPECT_NE(Record().back().find(": 0 4.0.2 4.0.1"), std::string::npos) << Record().back();

    CUpdateRun next = Run(SilentProgramRun(app.Path()));
    EXPECT_EQ(next.Check(), CheckResult::UpToDate);
    EXPECT_EQ(ConfiguredVersion(), "4.0.2");
    EXPECT_NE(Record().back().find(": 1 4.0.2 4.0.1"), std::string::npos) << Record().back();
}

// The state a crash leaves between the two moves of a file in use and in
// the middle of the list: core.dll only under its backup name, a.dll still
// old, the marker beside the staging folder. The next run, with no server
// at all, puts everything in place and records it.
TEST_F(UpdateRunTest, AnInstallCutShortIsFinishedWithoutAServer) {
    const std::string manifest = "[Version]\r\nVERSION=4.0.2\r\nREGION=cn\r\n[FILES]\r\ncore.dll\r\na.dll\r\n"
                                 "[core.dll]\r\nSIZE=5\r\nMD5=" + kWorldMd5 + "\r\n[a.dll]\r\nSIZE=5\r\nMD5=" +
                                 kHelloMd5 + "\r\n";
    app.Write("UPDATE\\Program\\UpdateConfig.ini", manifest);
    app.Write("UPDATE\\Program\\core.dll", "world");
    app.Write("UPDATE\\Program\\a.dll", "hello");
    app.Write("core.dll.bak", "old core");
    app.Write("a.dll.updating", "hel");
    InstallMarker marker;
    marker.ManifestFileName = "UpdateConfig.ini";
    ASSERT_EQ(CMD5::GetFileMD5(app.File("UPDATE\\Program\\UpdateConfig.ini"), marker.ManifestMD5), 0);
    marker.NewVersion = "4.0.2";
    marker.OldVersion = "4.0.1";
    marker.Version = VersionRecord::Always;
    marker.RecordSectionFormat = "%Y-%m-%d";
    ASSERT_TRUE(WriteInstallMarker(app.File("UPDATE\\Program.install"), marker));

    app.Write("Config.dat", "[Update]\r\nVersion=4.0.1\r\nRegion=cn\r\nServerIP=127.0.0.1\r\nServerPort=" +
                                std::to_string(served.DeadServer().Port) + "\r\n");
    CUpdateRun run = Run(SilentProgramRun(app.Path()));
    EXPECT_EQ(run.Check(), CheckResult::Failed);
    EXPECT_EQ(app.Read("core.dll"), "world");
    EXPECT_EQ(app.Read("a.dll"), "hello");
    EXPECT_FALSE(app.Exists("core.dll.bak"));
    EXPECT_FALSE(app.Exists("a.dll.updating"));
    EXPECT_FALSE(app.Exists("UPDATE\\Program.install"));
    EXPECT_EQ(ConfiguredVersion(), "4.0.2");
    EXPECT_NE(Record().back().find(": 1 4.0.2 4.0.1"), std::string::npos) << Record().back();
    EXPECT_EQ(run.Outcome(), RunOutcome::NoServer);  // the check itself still found no server
}

// A marker whose staged manifest is not the one it names (a newer check
// fetched another) installs nothing from it.
TEST_F(UpdateRunTest, AMarkerOfAnotherManifestIsDropped) {
    app.Write("UPDATE\\Program\\UpdateConfig.ini", ProgramManifest("VERSION=4.0.2\r\n"));
    app.Write("UPDATE\\Program\\a.dll", "hello");
    InstallMarker marker;
    marker.ManifestFileName = "UpdateConfig.ini";
    marker.ManifestMD5 = kWorldMd5;
    ASSERT_TRUE(WriteInstallMarker(app.File("UPDATE\\Program.install"), marker));
    app.Write("Config.dat", "[Update]\r\nVersion=4.0.1\r\nServerIP=127.0.0.1\r\nServerPort=" +
                                std::to_string(served.DeadServer().Port) + "\r\n");
    CUpdateRun run = Run(SilentProgramRun(app.Path()));
    EXPECT_EQ(run.Check(), CheckResult::Failed);
    EXPECT_EQ(app.Read("a.dll"), "old");
    EXPECT_FALSE(app.Exists("UPDATE\\Program.install"));
}

// The stand-in client of the test build (tests/fixtures/client), beside
// this program; a release that ships exit-at-start.txt makes it end at
// once with the status written there.
std::string StandInClient() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring self(path, length);
    return Narrow(self.substr(0, self.find_last_of(L'\\') + 1) + L"QIRAClient.exe");
}

// A release whose client ends with an access violation at its start (the
// previous one's ends at once, as a program may of its own). By
// the time the watch looks, another run may have installed a newer release
// over it, which stays; otherwise the release is rolled back, and neither
// front end takes it again, while the same version with other files is due.
TEST_F(UpdateRunTest, AFailedStartRollsBackOnlyTheReleaseStillInstalled) {
    const std::string crashing = "C0000005";
    const std::string fixed = ProgramManifest("VERSION=4.0.2\r\nREGION=cn\r\n");
    const std::string listed = "a.dll\r\nsub\\b.txt\r\n";
    const std::string broken = std::string(fixed).replace(fixed.find(listed), listed.size(),
                                                          listed + "exit-at-start.txt\r\n") +
                               "[exit-at-start.txt]\r\nSIZE=8\r\nMD5=" + Md5Hex(crashing) + "\r\n";
    ASSERT_TRUE(CopyFileW(Widen(StandInClient()).c_str(), Widen(app.File("QIRAClient.exe")).c_str(), FALSE));
    served.Put(1, "exit-at-start.txt", crashing);
    for (const bool overtaken : {true, false}) {
        SCOPED_TRACE(overtaken ? "a newer release installed meanwhile" : "still installed");
        Configure("4.0.1");
        app.Write("Config.dat", app.Read("Config.dat") + "StartWatchSeconds=30\r\n");
        app.Write("a.dll", "old");
        app.Write("exit-at-start.txt", "0");  // the release before ends at once, as a program of its own
        DeleteFileW(Widen(app.File("sub\\b.txt")).c_str());
        served.Put(1, "UpdateConfig.ini", broken);
        CUpdateRun run = Run(SilentProgramRun(app.Path()));
        ASSERT_EQ(run.Check(), CheckResult::UpdateDue);
        ASSERT_TRUE(run.FetchFiles());
        ASSERT_EQ(run.Install(), InstallResult::Installed);
        run.RestartClient(0);
        if (overtaken) {
            served.Put(1, "UpdateConfig.ini", ProgramManifest("VERSION=4.0.3\r\nREGION=cn\r\nUNCONDITIONALUPDATE=1\r\n"));
            app.Write("a.dll", "other");
            CUpdateRun newer = Run(SilentProgramRun(app.Path()));
            ASSERT_EQ(newer.Check(), CheckResult::UpdateDue);
            ASSERT_TRUE(newer.FetchFiles());
            ASSERT_EQ(newer.Install(), InstallResult::Installed);
        }
        run.WatchClientStart(nullptr);
        run.RemoveStagingFolder();
        if (overtaken) {
            EXPECT_EQ(run.Outcome(), RunOutcome::Updated);
            EXPECT_EQ(app.Read("a.dll"), "hello");
            EXPECT_EQ(ConfiguredVersion(), "4.0.3");
            continue;
        }
        EXPECT_EQ(run.Outcome(), RunOutcome::RolledBack);
        EXPECT_EQ(app.Read("a.dll"), "old");
        EXPECT_FALSE(app.Exists("sub\\b.txt"));
        EXPECT_EQ(app.Read("exit-at-start.txt"), "0");
        EXPECT_EQ(ConfiguredVersion(), "4.0.1");
        EXPECT_NE(Record().back().find(": 0 4.0.2 4.0.1"), std::string::npos) << Record().back();
        for (const RunProfile& profile : {SilentProgramRun(app.Path()), DialogRun(app.Path(), 1, "")}) {
            EXPECT_EQ(Run(profile).Check(), CheckResult::UpToDate) << profile.RunKind;
        }
        served.Put(1, "UpdateConfig.ini", fixed);
        EXPECT_EQ(Run(SilentProgramRun(app.Path())).Check(), CheckResult::UpdateDue);
    }
    const std::string log = app.Read("UPDATE\\update.log");
    EXPECT_NE(log.find("the start of release \"4.0.2\" failed: the client ended within 30 s with 0xC0000005"),
              std::string::npos);
    EXPECT_NE(log.find("release \"4.0.2\" is no longer the one installed with its previous release kept: left as it is"),
              std::string::npos);
    EXPECT_NE(log.find("was rolled back after its program failed to start: not taken again"), std::string::npos);
}

// What a person reads afterwards: one line per step, the outcome last.
TEST_F(UpdateRunTest, TheLogSaysWhatHappened) {
    served.Put(1, "UpdateConfig.ini", ProgramManifest("VERSION=4.0.2\r\nREGION=cn\r\n"));
    {
        CUpdateRun run = Run(SilentProgramRun(app.Path()));
        ASSERT_EQ(run.Check(), CheckResult::UpdateDue);
        ASSERT_TRUE(run.FetchFiles());
        ASSERT_EQ(run.Install(), InstallResult::Installed);
        EXPECT_EQ(run.Conclude(), RunOutcome::Updated);
    }
    const std::string log = app.Read("UPDATE\\update.log");
    for (const char* expected : {"[silent] start: installed version \"4.0.1\"", "manifest UpdateConfig.ini fetched",
                                 "2 files differ, 2 to fetch", "fetched 2 files", "verified 2 staged files",
                                 "installed 2 of 2 files", "version \"4.0.2\" recorded",
                                 "outcome: updated (exit code 0)\r\n"}) {
        EXPECT_NE(log.find(expected), std::string::npos) << expected << "\n" << log;
    }
}

// The backups of earlier runs go first, whatever the configuration says;
// then a corrupt Config.dat ends the run before any server is asked.
TEST_F(UpdateRunTest, ACorruptConfigDatIsReportedAfterTheBackupsAreGone) {
    app.Write("Config.dat", std::string("QCF1") + std::string(40, '\x7f'));
    app.Write("x.dll", "new");
    app.Write("x.dll.bak", "old");
    const size_t mark = served.Requests().size();
    CUpdateRun run = Run(SilentProgramRun(app.Path()));
    EXPECT_EQ(run.Check(), CheckResult::Failed);
    EXPECT_EQ(run.Conclude(), RunOutcome::LocalFilesUnusable);
    EXPECT_FALSE(app.Exists("x.dll.bak"));
    EXPECT_TRUE(PathsSince(mark).empty());
    EXPECT_NE(app.Read("UPDATE\\update.log").find("Config.dat cannot be used, so its servers and version are unknown: "
                                                   "config-unusable: corrupt"),
              std::string::npos);
}

TEST_F(UpdateRunTest, AFileWhereTheStagingFolderMustBeIsReported) {
    served.Put(1, "UpdateConfig.ini", ProgramManifest("VERSION=4.0.2\r\nREGION=cn\r\n"));
    app.Write("UPDATE\\Program", "a file in the way");
    CUpdateRun run = Run(SilentProgramRun(app.Path()));
    EXPECT_EQ(run.Check(), CheckResult::Failed);
    EXPECT_EQ(run.Outcome(), RunOutcome::LocalFilesUnusable);
    EXPECT_EQ(app.Read("UPDATE\\Program"), "a file in the way");
}

// Signed releases: with a release key configured, the manifest is trusted
// only when the signature fetched after it verifies over the bytes received.
// (The scenarios of tests/e2e/test_signed_release.py try every kind of
// change to a signed release; these hold the run's own part.)
class SignedUpdateRunTest : public UpdateRunTest {
protected:
    void SetUp() override {
        UpdateRunTest::SetUp();
        ASSERT_TRUE(GenerateEcdsaKey(key));
        Configure("4.0.1", FormatReleaseKey(key.Public));
        manifest = ProgramManifest("VERSION=4.0.2\r\nREGION=cn\r\n");
        signature = Statement(manifest, 1);
    }
    // The publisher's statement for the manifest, published an hour ago.
    std::string Statement(const std::string& forManifest, int32_t target) const {
        ReleaseStatement statement;
        statement.Target = target;
        statement.Published = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()) -
                              std::chrono::hours(1);
        EXPECT_TRUE(ComputeSha256(forManifest, statement.ManifestSha256));
        std::string text;
        EXPECT_TRUE(SignReleaseStatement(key, statement, text));
        return text;
    }
    EcdsaPrivateKey key;
    std::string manifest;
    std::string signature;
};

TEST_F(SignedUpdateRunTest, ASignedReleaseIsCheckedThenInstalled) {
    served.Put(1, "UpdateConfig.ini", manifest);
    served.Put(1, "UpdateConfig.ini.sig", signature);
    CUpdateRun run = Run(SilentProgramRun(app.Path()));
    const size_t mark = served.Requests().size();
    ASSERT_EQ(run.Check(), CheckResult::UpdateDue);
    ASSERT_TRUE(run.ReleaseStatement() && run.ReleaseStatement()->IsVerified());
    ASSERT_TRUE(run.FetchFiles());
    std::vector<std::string> paths = PathsSince(mark);
    std::sort(paths.begin() + std::min<size_t>(2, paths.size()), paths.end());  // the files travel side by side
    EXPECT_EQ(paths, (std::vector<std::string>{"/1/UpdateConfig.ini", "/1/UpdateConfig.ini.sig", "/1/a.dll",
                                               "/1/sub/b.txt"}));
    EXPECT_EQ(run.Install(), InstallResult::Installed);
    EXPECT_EQ(ConfiguredVersion(), "4.0.2");
}

// Refused right after the signature, by each front end: nothing more is
// fetched, the staging folder (with a file staged by an earlier attempt)
// is removed, and the reason is kept for the log.
TEST_F(SignedUpdateRunTest, ABadSignatureIsRefusedBeforeAnyFile) {
    std::string oneByte = manifest;
    oneByte[oneByte.find("4.0.2") + 4] = '3';
    struct Case {
        const char* what;
        RunProfile profile;
        std::string manifest;
        std::optional<std::string> signature;  // none: the server has none
        StatementCheck expected;
    };
    const Case cases[] = {
        {"one byte changed", SilentProgramRun(app.Path()), oneByte, signature, StatementCheck::OtherManifest},
        {"no statement", SilentProgramRun(app.Path()), manifest, std::nullopt, StatementCheck::Missing},
        {"not one", DialogRun(app.Path(), 1, ""), manifest, "signed, trust me\n", StatementCheck::Malformed},
        {"for a package", DialogRun(app.Path(), 1, ""), manifest, Statement(manifest, 3), StatementCheck::OtherTarget},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        served.Put(1, "UpdateConfig.ini", c.manifest);
        if (c.signature) {
            served.Put(1, "UpdateConfig.ini.sig", *c.signature);
        } else {
            served.SetFault("/1/UpdateConfig.ini.sig", "status", R"("status": 404)");
            // The signature staged by an earlier attempt does not stand in for it.
            app.Write("UPDATE\\Program\\UpdateConfig.ini.sig", signature);
        }
        app.Write("UPDATE\\Program\\sub\\b.txt", "world");
        CUpdateRun run = Run(c.profile);
        const size_t mark = served.Requests().size();
        EXPECT_EQ(run.Check(), CheckResult::Failed);
        EXPECT_EQ(run.Outcome(), RunOutcome::Refused);
        ASSERT_TRUE(run.ReleaseStatement());
        EXPECT_EQ(run.ReleaseStatement()->Check, c.expected) << DescribeStatementVerdict(*run.ReleaseStatement());
        EXPECT_EQ(PathsSince(mark), (std::vector<std::string>{"/1/UpdateConfig.ini", "/1/UpdateConfig.ini.sig"}));
        EXPECT_TRUE(run.ChangedFiles().empty());
        EXPECT_FALSE(app.Exists("UPDATE\\Program"));
        served.ClearFaults();
    }
}

}  // namespace
