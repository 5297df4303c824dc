#include "base/handles_win.h"
#include "base/gbk_text.h"
#include "config/config_file.h"
#include "dialog_probe_win.h"
#include "support/served_tree_win.h"
#include "support/temp_dir.h"
#include "ui/dlg_update_win.h"
#include "ui/res/resource.h"

#include <gtest/gtest.h>

#include <optional>

namespace {
const std::string kHello = "hello";
const std::string kHelloMd5 = "5d41402abc4b2a76b9719d911017c592";
const std::string kWorld = "world";
const std::string kWorldMd5 = "7d793037a0760186574b0282f2f435e7";

// Release 4.0.2 with two files; the installed release is 4.0.1.
const std::string kManifest =
    "[Version]\r\nVERSION=4.0.2\r\nREGION=cn\r\n"
    "[FILES]\r\na.dll\r\nsub\\b.txt\r\n"
    "[a.dll]\r\nSIZE=5\r\nMD5=" + kHelloMd5 + "\r\n"
    "[sub\\b.txt]\r\nSIZE=5\r\nMD5=" + kWorldMd5 + "\r\n";

// What the user sees, captured from inside the modal loop.
struct Face {
    UINT statusPicture = 0;
    UINT headlinePicture = 0;
    std::string headline;
    std::string message;
    std::string version;
    bool versionShown = false;
    bool upgradeShown = false;
    bool updatableShown = false;
    bool questionShown = false;
    bool closeShown = false;
    bool titleCloseShown = false;
    bool progressShown = false;
};

// An installed client in a temporary folder and a server holding releases.
class DlgUpdateTest : public ServedTreeTest {
protected:
    TempDir app;

    void Configure(uint16_t port) const {
        // Plain text: the configuration reader takes a file without its
        // encryption header as written by hand.
        app.Write("Config.dat", "[Update]\r\nVersion=4.0.1\r\nRegion=cn\r\nServerIP=127.0.0.1\r\nServerPort=" +
                                    std::to_string(port) + "\r\n");
        app.Write("UserConfig.dat", "[Server]\r\nUseProxy=0\r\n");
    }
    void SetUp() override {
        ServedTreeTest::SetUp();
        Configure(tree.Server().Port);
    }

    // Opens the dialog on the installation, reads its face and closes it.
    Face Open(CDlgUpdate& dialog, int32_t type = 1, const std::string& name = {}) const {
        dialog.Type = type;
        dialog.Name = name;
        dialog.ApplicationFolderOverride = app.Path();
        Face face;
        const INT_PTR result = RunWithProbe(dialog, [&](HWND hwnd) {
            face.statusPicture = dialog.StatusIcon.PictureId();
            face.headlinePicture = dialog.HeadlinePicture.PictureId();
            face.headline = ControlText(hwnd, IDC_HEADLINE);
            face.message = ControlText(hwnd, IDC_MESSAGE);
            face.version = ControlText(hwnd, IDC_VERSION);
            face.versionShown = ControlVisible(hwnd, IDC_VERSION);
            face.upgradeShown = ControlVisible(hwnd, IDC_UPGRADE);
            face.updatableShown = ControlVisible(hwnd, IDC_UPDATABLE);
            face.questionShown = ControlVisible(hwnd, IDC_QUESTION);
            face.closeShown = ControlVisible(hwnd, IDC_CLOSE_BUTTON);
            face.titleCloseShown = ControlVisible(hwnd, IDC_TITLE_CLOSE);
            face.progressShown = ControlVisible(hwnd, IDC_PROGRESS);
            Click(hwnd, IDC_CLOSE_BUTTON);
        });
        EXPECT_EQ(result, 1);
        return face;
    }
};

// The up-to-date face's layout; its heading and message say whether the
// check found nothing to do or why it failed.
void ExpectNoOffer(const Face& face, const Headline& headline, UINT message) {
    EXPECT_EQ(face.statusPicture, static_cast<UINT>(IDP_UP_TO_DATE));
    EXPECT_EQ(face.headlinePicture, headline.Picture);
    EXPECT_EQ(face.headline, ResourceText(headline.Words));
    EXPECT_EQ(face.message, ResourceText(message));
    EXPECT_FALSE(face.versionShown);
    EXPECT_FALSE(face.upgradeShown);
    EXPECT_FALSE(face.updatableShown);
    EXPECT_FALSE(face.questionShown);
    EXPECT_TRUE(face.closeShown);
    EXPECT_TRUE(face.titleCloseShown);
    EXPECT_TRUE(face.progressShown);
}

void ExpectUpToDate(const Face& face) { ExpectNoOffer(face, {IDP_CAPTION_NONE, IDS_CAPTION_NONE}, IDS_UP_TO_DATE); }

void ExpectCheckFailed(const Face& face, UINT message) {
    ExpectNoOffer(face, {IDP_CAPTION_CHECK_FAILED, IDS_CAPTION_CHECK_FAILED}, message);
}

void ExpectUpdateAvailable(const Face& face, const std::string& version) {
    EXPECT_EQ(face.statusPicture, static_cast<UINT>(IDP_UPDATE_AVAILABLE));
    EXPECT_EQ(face.headlinePicture, static_cast<UINT>(IDP_CAPTION_FOUND));
    EXPECT_EQ(face.headline, ResourceText(IDS_CAPTION_FOUND));
    EXPECT_EQ(face.message, "HALVO\xb9\xdc\xbc\xd2\xd3\xd0\xd0\xc2\xb0\xe6\xb1\xbe");  // HALVO管家有新版本
    EXPECT_EQ(face.version, version);
    EXPECT_TRUE(face.versionShown);
    EXPECT_TRUE(face.upgradeShown);
    EXPECT_TRUE(face.updatableShown);
    EXPECT_TRUE(face.questionShown);
    EXPECT_TRUE(face.closeShown);
    EXPECT_TRUE(face.progressShown);
}

TEST_F(DlgUpdateTest, NoServerReachableSaysSoAndStillClearsBackups) {
    Configure(tree.DeadServer().Port);
    app.Write("skin\\old.dll.bak", "old");
    CDlgUpdate dialog;
    ExpectCheckFailed(Open(dialog), IDS_CONNECTION_FAILED);
    EXPECT_FALSE(app.Exists("skin\\old.dll.bak"));
    EXPECT_TRUE(dialog.DownloadList.empty());
}

TEST_F(DlgUpdateTest, NewerReleaseShowsVersionAndListsFilesToFetch) {
    tree.Put(1, "UpdateConfig.ini", kManifest);
    app.Write("a.dll.bak", "old");
    app.Write("sub\\b.txt", kWorld);  // already current
    CDlgUpdate dialog;
    ExpectUpdateAvailable(Open(dialog), "4.0.2");
    EXPECT_TRUE(app.Exists("UPDATE\\Program\\UpdateConfig.ini"));
    EXPECT_FALSE(app.Exists("a.dll.bak"));
    EXPECT_EQ(dialog.DownloadList, std::vector<std::string>{"a.dll"});
}

TEST_F(DlgUpdateTest, FilesStagedEarlierAreNotFetchedAgain) {
    tree.Put(1, "UpdateConfig.ini", kManifest);
    app.Write("UPDATE\\Program\\a.dll", kHello);
    app.Write("UPDATE\\Program\\sub\\b.txt", kWorld);
    CDlgUpdate dialog;
    ExpectUpdateAvailable(Open(dialog), "4.0.2");
    EXPECT_TRUE(dialog.DownloadList.empty());
}

TEST_F(DlgUpdateTest, AStagedFileWithAnotherDigestIsFetchedAgain) {
    tree.Put(1, "UpdateConfig.ini", kManifest);
    app.Write("UPDATE\\Program\\a.dll", "hellO");
    app.Write("UPDATE\\Program\\sub\\b.txt", kWorld);
    CDlgUpdate dialog;
    Open(dialog);
    EXPECT_EQ(dialog.DownloadList, std::vector<std::string>{"a.dll"});
}

TEST_F(DlgUpdateTest, InstalledReleaseIsUpToDate) {
    tree.Put(1, "UpdateConfig.ini", kManifest);
    app.Write("Config.dat", "[Update]\r\nVersion=4.0.2\r\nRegion=cn\r\nServerIP=127.0.0.1\r\nServerPort=" +
                                std::to_string(tree.Server().Port) + "\r\n");
    CDlgUpdate dialog;
    ExpectUpToDate(Open(dialog));
}

TEST_F(DlgUpdateTest, DataPackageFetchesTheProgramManifestIntoItsStagingFolder) {
    tree.Put(2, "UpdateConfig.ini", kManifest);
    app.Write("Foo\\a.dll", kHello);
    CDlgUpdate dialog;
    ExpectUpdateAvailable(Open(dialog, 2, "Foo"), "4.0.2");
    EXPECT_TRUE(app.Exists("UPDATE\\Foo\\UpdateConfig.ini"));
    EXPECT_FALSE(app.Exists("UPDATE\\Program\\UpdateConfig.ini"));
    EXPECT_EQ(dialog.DownloadList, std::vector<std::string>{"sub\\b.txt"});  // compared against Foo\ .
}

TEST_F(DlgUpdateTest, AnUnsafePackageNameTouchesNothing) {
    tree.Put(2, "UpdateConfig.ini", kManifest);
    app.Write("keep.bak", "old");
    const size_t requestsBefore = tree.Requests().size();
    for (const std::string name : {"..", "a\\b", "", "Program"}) {
        CDlgUpdate dialog;
        ExpectCheckFailed(Open(dialog, 2, name), IDS_UPDATE_FAILED);
    }
    EXPECT_TRUE(app.Exists("keep.bak"));
    EXPECT_EQ(tree.Requests().size(), requestsBefore);
}

TEST_F(DlgUpdateTest, BothCloseButtonsEndWithOne) {
    for (const int button : {IDC_CLOSE_BUTTON, IDC_TITLE_CLOSE}) {
        CDlgUpdate dialog;
        dialog.ApplicationFolderOverride = app.Path();
        EXPECT_EQ(RunWithProbe(dialog, [&](HWND hwnd) { Click(hwnd, button); }), 1) << button;
    }
}

TEST_F(DlgUpdateTest, TitleBandStaticsAndSkin) {
    Configure(tree.DeadServer().Port);
    CDlgUpdate dialog;
    dialog.ApplicationFolderOverride = app.Path();
    RECT client{};
    RunWithProbe(dialog, [&](HWND hwnd) {
        GetClientRect(hwnd, &client);
        EXPECT_TRUE(PressStartsWindowMove(hwnd, {200, 29}));
        EXPECT_FALSE(PressStartsWindowMove(hwnd, {200, 30}));

        const HDC dc = GetDC(hwnd);
        SetBkMode(dc, OPAQUE);
        const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
            hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDC_QUESTION))));
        EXPECT_EQ(brush, GetStockObject(NULL_BRUSH));
        EXPECT_EQ(GetTextColor(dc), RGB(51, 51, 51));
        EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
        ReleaseDC(hwnd, dc);

        EXPECT_EQ(dialog.TitleText.TextColor(), RGB(233, 247, 254));
        EXPECT_TRUE(dialog.TitleText.IsBold());
        EXPECT_TRUE(dialog.VersionText.IsBold());
        EXPECT_FALSE(dialog.MessageText.IsBold());
        EXPECT_EQ(dialog.ProgressBar.Progress(), 0);
        EXPECT_EQ(dialog.ProgressBar.Upper(), 100);
        Click(hwnd, IDC_TITLE_CLOSE);
    });
    EXPECT_EQ(client.right, 430);
    EXPECT_EQ(client.bottom, 230);
}

// --- "立即升级": download, install, record -----------------------------------


std::string ConfiguredVersion(const TempDir& app) {
    std::string version;
    CCryptConfigFile(app.File("Config.dat"), "").ReadString("Update", "Version", "", version);
    return version;
}

void Notify(HWND hwnd, uint32_t wParam, int32_t lParam) {
    SendMessageW(hwnd, WM_DOWNFILE_NOTIFY, wParam, lParam);
}

// Handles the dialog's messages (the download thread's notices among them)
// for up to five seconds, until the message line says what the text id holds.
void WaitForMessage(HWND hwnd, UINT textId) {
    for (int i = 0; i < 100 && ControlText(hwnd, IDC_MESSAGE) != ResourceText(textId); ++i) {
        MSG pending;
        while (PeekMessageW(&pending, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&pending);
        Sleep(50);
    }
}

class DlgUpdateUpgradeTest : public DlgUpdateTest {
protected:
    void SetUp() override {
        DlgUpdateTest::SetUp();
        tree.Put(1, "UpdateConfig.ini", kManifest);
        tree.Put(1, "a.dll", kHello);
    }
    void ServeB() const { tree.Put(1, "sub\\b.txt", kWorld); }
    INT_PTR Upgrade(CDlgUpdate& dialog) const {
        dialog.ApplicationFolderOverride = app.Path();
        return RunWithProbe(dialog, [](HWND hwnd) { Click(hwnd, IDC_UPGRADE); }, AfterProbe::LetItRun);
    }
    void ExpectInstalled() const {
        EXPECT_EQ(app.Read("a.dll"), kHello);
        EXPECT_EQ(app.Read("sub\\b.txt"), kWorld);
        EXPECT_EQ(ConfiguredVersion(app), "4.0.2");
        EXPECT_TRUE(app.Exists("UpdateRecord.dat"));
        EXPECT_FALSE(app.Exists("UPDATE\\Program\\UpdateConfig.ini"));
    }
};

TEST_F(DlgUpdateUpgradeTest, DownloadsInstallsRecordsAndCloses) {
    ServeB();
    app.Write("a.dll", "old");
    CDlgUpdate dialog;
    EXPECT_EQ(Upgrade(dialog), 1);
    ExpectInstalled();
    EXPECT_EQ(dialog.CompletedCount, 2);
}

TEST_F(DlgUpdateUpgradeTest, EverythingStagedInstallsWithoutFetching) {
    app.Write("UPDATE\\Program\\a.dll", kHello);
    app.Write("UPDATE\\Program\\sub\\b.txt", kWorld);
    const size_t requestsBefore = tree.Requests().size();
    CDlgUpdate dialog;
    EXPECT_EQ(Upgrade(dialog), 1);
    ExpectInstalled();
    EXPECT_EQ(tree.Requests().size(), requestsBefore + 1);  // the manifest only
    EXPECT_EQ(dialog.DownloadThread, nullptr);
}

TEST_F(DlgUpdateUpgradeTest, AFileThatCannotBeFetchedStopsWithTheConnectionMessage) {
    // b.txt is missing on the server: a.dll arrives, then the thread gives up.
    // The served tree outlives each test, so the 404 is a fault here.
    tree.SetFault("/1/sub/b.txt", "status", R"("status": 404)");
    std::string message;
    CDlgUpdate dialog;
    dialog.ApplicationFolderOverride = app.Path();
    RunWithProbe(dialog, [&](HWND hwnd) {
        Click(hwnd, IDC_UPGRADE);
        WaitForMessage(hwnd, IDS_CONNECTION_FAILED);
        message = ControlText(hwnd, IDC_MESSAGE);
        Click(hwnd, IDC_CLOSE_BUTTON);
    });
    EXPECT_EQ(message, ResourceText(IDS_CONNECTION_FAILED));
    EXPECT_EQ(app.Read("UPDATE\\Program\\a.dll"), kHello);  // kept for the next attempt
    EXPECT_FALSE(app.Exists("a.dll"));
    EXPECT_EQ(ConfiguredVersion(app), "4.0.1");
}

TEST_F(DlgUpdateUpgradeTest, NotificationsMoveTheBarInWholeFiles) {
    CDlgUpdate dialog;
    dialog.ApplicationFolderOverride = app.Path();
    RunWithProbe(dialog, [&](HWND hwnd) {
        Notify(hwnd, 2, 5);  // progress of the first file
        EXPECT_EQ(dialog.ProgressBar.Progress(), 0);
        Notify(hwnd, 5, 5);  // first file complete
        EXPECT_EQ(dialog.CompletedCount, 1);
        EXPECT_EQ(dialog.ProgressBar.Progress(), 0);  // completions do not move the bar
        Notify(hwnd, 3, 5);
        EXPECT_EQ(dialog.ProgressBar.Progress(), 1);
        Notify(hwnd, 0, -1);
        EXPECT_EQ(ControlText(hwnd, IDC_MESSAGE), ResourceText(IDS_CONNECTION_FAILED));
        Click(hwnd, IDC_CLOSE_BUTTON);
    });
    EXPECT_FALSE(app.Exists("a.dll"));
    EXPECT_EQ(ConfiguredVersion(app), "4.0.1");
}

TEST_F(DlgUpdateUpgradeTest, FilesWithTheRightSizeButOtherBytesAreRefused) {
    CDlgUpdate dialog;
    dialog.ApplicationFolderOverride = app.Path();
    const INT_PTR result = RunWithProbe(dialog, [&](HWND hwnd) {
        // As if both had arrived: same sizes, other bytes.
        app.Write("UPDATE\\Program\\a.dll", "HELLO");
        app.Write("UPDATE\\Program\\sub\\b.txt", "WORLD");
        Notify(hwnd, 5, 5);
        Notify(hwnd, 5, 5);
        EXPECT_EQ(ControlText(hwnd, IDC_MESSAGE), ResourceText(IDS_RELEASE_REFUSED));
        Notify(hwnd, 5, 5);  // beyond the list: ignored
        EXPECT_EQ(dialog.CompletedCount, 2);
    });
    EXPECT_EQ(result, kProbeLeftOpen);  // still open: nothing was installed
    EXPECT_FALSE(app.Exists("a.dll"));
    EXPECT_EQ(ConfiguredVersion(app), "4.0.1");
    EXPECT_FALSE(app.Exists("UpdateRecord.dat"));
}

TEST_F(DlgUpdateUpgradeTest, AnIncompleteInstallSaysWhyAndWaitsToBeClosed) {
    ServeB();
    app.Write("a.dll", "old");
    // Open without delete sharing: neither replaced nor moved aside.
    const UniqueFile held(CreateFileW(Widen(app.File("a.dll")).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string message;
    std::string headline;
    CDlgUpdate dialog;
    dialog.ApplicationFolderOverride = app.Path();
    const INT_PTR result = RunWithProbe(dialog, [&](HWND hwnd) {
        Click(hwnd, IDC_UPGRADE);
        WaitForMessage(hwnd, IDS_LOCAL_FILES_FAILED);
        message = ControlText(hwnd, IDC_MESSAGE);
        headline = ControlText(hwnd, IDC_HEADLINE);
    });
    EXPECT_EQ(result, kProbeLeftOpen);  // the install is over, the dialog waits to be closed
    EXPECT_EQ(message, ResourceText(IDS_LOCAL_FILES_FAILED));
    EXPECT_EQ(headline, ResourceText(IDS_CAPTION_UPDATE_FAILED));
    EXPECT_EQ(app.Read("sub\\b.txt"), kWorld);
    EXPECT_EQ(dialog.Conclude(), RunOutcome::Incomplete);
}

TEST_F(DlgUpdateUpgradeTest, DataPackageInstallsIntoItsFolderWithoutTouchingTheProgramVersion) {
    tree.Put(2, "UpdateConfig.ini", kManifest);
    tree.Put(2, "a.dll", kHello);
    tree.Put(2, "sub\\b.txt", kWorld);
    app.Write("UPDATE\\Foo\\config.ini", "[a.dll]\r\n");  // left staged by an earlier silent run
    CDlgUpdate dialog;
    dialog.Type = 2;
    dialog.Name = "Foo";
    EXPECT_EQ(Upgrade(dialog), 1);
    EXPECT_EQ(app.Read("Foo\\a.dll"), kHello);
    EXPECT_EQ(app.Read("Foo\\sub\\b.txt"), kWorld);
    // The dialog fetched no config.ini: a staged one is a stale record, copied nowhere.
    EXPECT_FALSE(app.Exists("Foo\\config.ini"));
    EXPECT_FALSE(app.Exists("config.ini"));
    EXPECT_EQ(app.Read("UPDATE\\update.log").find("could not be replaced"), std::string::npos);
    EXPECT_FALSE(app.Exists("a.dll"));
    EXPECT_EQ(ConfiguredVersion(app), "4.0.1");
    EXPECT_TRUE(app.Exists("UpdateRecord.dat"));
    EXPECT_FALSE(app.Exists("UPDATE\\Foo\\UpdateConfig.ini"));
}
}  // namespace
