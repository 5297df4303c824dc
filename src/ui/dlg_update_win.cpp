#include "ui/dlg_update_win.h"

#include "components/config_file.h"
#include "components/directory_ex.h"
#include "components/integer_text.h"
#include "components/wide_text_win.h"
#include "engine/download_files_win.h"
#include "engine/install_win.h"
#include "manifest/manifest.h"
#include "manifest/name_check.h"
#include "manifest/version_compare.h"
#include "settings/register_install_win.h"
#include "settings/update_record.h"
#include "settings/update_settings.h"
#include "ui/download_plan.h"
#include "ui/button_skin_win.h"
#include "ui/res/resource.h"
#include "ui/skin_colors.h"
#include "ui/static_color_win.h"
#include "ui/title_band_drag_win.h"

namespace {
constexpr char kManifestFileName[] = "UpdateConfig.ini";
constexpr char kDataPackageManifest[] = "config.ini";
constexpr char kRecordSectionFormat[] = "%Y-%m-%d %H:%M:%S";
const char kUpgradeStartedText[] =
    "\xc8\xed\xbc\xfe\xb8\xfc\xd0\xc2\xba\xf3\xbb\xe1\xd7\xd4\xb6\xaf\xc6\xf4\xd3\xc3\xd0\xc2\xb0\xe6\xb1\xbe"
    "\xa3\xa1";  // 软件更新后会自动启用新版本！
const char kConnectionFailedText[] =
    "\xce\xde\xb7\xa8\xd3\xeb\xb7\xfe\xce\xf1\xc6\xf7\xbd\xa8\xc1\xa2\xc1\xac\xbd\xd3,\xc7\xeb\xc9\xd4\xba\xf2\xd6\xd8"
    "\xca\xd4\xa3\xa1";  // 无法与服务器建立连接,请稍候重试！
const char kUpdateFailedText[] =
    "\xb8\xfc\xd0\xc2\xb9\xfd\xb3\xcc\xb3\xf6\xcf\xd6\xb4\xed\xce\xf3,\xc7\xeb\xc9\xd4\xba\xf2\xd6\xd8\xca\xd4"
    "\xa3\xa1";  // 更新过程出现错误,请稍候重试！
}  // namespace

CDlgUpdate::CDlgUpdate() : CImageDialog(IDD_UPDATE, nullptr) {}

CDlgUpdate::~CDlgUpdate() {
    // The thread's own destructor waits for a run still going.
    if (DownloadThread) DownloadThread->Terminate();
    DownloadThread.reset();
    Transfer.reset();
}

const CMessageMap* CDlgUpdate::GetThisMessageMap() {
    static constexpr CMessageMapEntry entries[] = {
        OnCommand<CDlgUpdate, &CDlgUpdate::OnClose>(IDC_CLOSE_BUTTON),
        OnCommand<CDlgUpdate, &CDlgUpdate::OnClose>(IDC_TITLE_CLOSE),
        OnMouse<CDlgUpdate, &CDlgUpdate::OnLButtonDown>(WM_LBUTTONDOWN),
        OnCommand<CDlgUpdate, &CDlgUpdate::OnUpgradeNow>(IDC_UPGRADE),
        OnCtlColorMessage<CDlgUpdate, &CDlgUpdate::OnCtlColor>(),
        OnMessage<CDlgUpdate, &CDlgUpdate::OnDownFileNotify>(WM_DOWNFILE_NOTIFY),
    };
    static constexpr CMessageMap map{&CImageDialog::GetThisMessageMap, entries};
    return &map;
}

const CMessageMap* CDlgUpdate::GetMessageMap() const { return GetThisMessageMap(); }

void CDlgUpdate::DoDataExchange(CDataExchange& exchange) {
    CImageDialog::DoDataExchange(exchange);
    DDX_Control(exchange, IDC_CLOSE_BUTTON, CloseButton);
    DDX_Control(exchange, IDC_UPGRADE, UpgradeButton);
    DDX_Control(exchange, IDC_TITLE_CLOSE, TitleCloseButton);
    DDX_Control(exchange, IDC_PROGRESS, ProgressBar);
    DDX_Control(exchange, IDC_STATUS_ICON, StatusIcon);
    DDX_Control(exchange, IDC_HEADLINE, HeadlinePicture);
    DDX_Control(exchange, IDC_TITLE, TitleText);
    DDX_Control(exchange, IDC_VERSION, VersionText);
    DDX_Control(exchange, IDC_MESSAGE, MessageText);
}

bool CDlgUpdate::OnInitDialog() {
    CImageDialog::OnInitDialog();
    SetWindowText("\xd4\xda\xcf\xdf\xb8\xfc\xd0\xc2");  // 在线更新
    SetBackPicture(kPngPicture, IDP_UPDATE_BACKGROUND, nullptr, false);
    StatusIcon.SetPicture(IDP_UPDATE_AVAILABLE);
    HeadlinePicture.SetPicture(IDP_CAPTION_FOUND);

    TitleText.SetFontSize(kTextFontSize, 0);
    TitleText.SetTextColor(kTitleTextColor);
    TitleText.SetAligns(CStaticText::kAlignLeft);
    TitleText.SetBold(true);

    ApplyRoundButtonSkin(CloseButton);
    ApplyRoundButtonSkin(UpgradeButton);
    ApplyCloseButtonSkin(TitleCloseButton);

    VersionText.SetFontSize(kTextFontSize, 0);
    VersionText.SetTextColor(kDarkTextColor);
    VersionText.SetBold(true);
    MessageText.SetFontSize(kTextFontSize, 0);
    MessageText.SetTextColor(kDarkTextColor);
    MessageText.SetBold(false);

    ProgressBar.SetBmpResource(IDB_PROGRESS_TRACK, IDB_PROGRESS_LEFT, IDB_PROGRESS_MIDDLE, IDB_PROGRESS_RIGHT);
    ProgressBar.SetRange(0, 100);
    ProgressBar.SetProgress(0);

    CheckForUpdate();
    return true;
}

void CDlgUpdate::CheckForUpdate() {
    ApplicationFolder =
        ApplicationFolderOverride.empty() ? CDirectoryEx::GetApplicationPath() : ApplicationFolderOverride;
    Servers.clear();
    ReadUpdateSettingsFrom(ApplicationFolder, LocalRegion, Servers, LocalVersion, UseProxy);

    StagingFolder = ApplicationFolder;
    if (Type == 1) {
        StagingFolder += "UPDATE\\Program\\";
        TargetFolder = ApplicationFolder;
    } else {
        TargetFolder = ApplicationFolder + Name + "\\";
        StagingFolder += "UPDATE\\" + Name + "\\";
    }
    Transfer = std::make_unique<CQIRAUpdateIntf>(Servers, UseProxy);
    ManifestFileName = kManifestFileName;

    // A package name that is not one plain folder would put the staging
    // folder (deleted after an install) and the target anywhere: such a run
    // touches nothing.
    if (Type != 1 && !IsSafePackageName(Name)) {
        ShowUpToDateFace();
        return;
    }

    DeleteLeftoverBackups(ApplicationFolder);

    DownloadList.assign(1, ManifestFileName);
    if (!DownloadFiles(DownloadList)) {
        ShowUpToDateFace();
        return;
    }

    ChangedFiles.clear();
    CompareManifest(S_UpdateCheckInfo(TargetFolder, StagingFolder + ManifestFileName, LocalVersion, LocalRegion),
                    ChangedFiles);

    DownloadPlan plan = PlanDownloads(SelectFilesToFetch(ChangedFiles, StagingFolder));
    DownloadList = std::move(plan.Names);
    ExpectedSizes = std::move(plan.ExpectedSizes);

    if (ChangedFiles.empty()) {
        ShowUpToDateFace();
        return;
    }
    std::string version;
    CConfigFile(StagingFolder + ManifestFileName).ReadString("Version", "VERSION", "", version);
    ShowUpdateAvailableFace(version);
}

bool CDlgUpdate::DownloadFiles(const std::vector<std::string>& names) {
    return ::DownloadFiles(names, *Transfer, Type, StagingFolder);
}

void CDlgUpdate::ShowUpdateAvailableFace(const std::string& version) {
    StatusIcon.SetPicture(IDP_UPDATE_AVAILABLE);
    HeadlinePicture.SetPicture(IDP_CAPTION_FOUND);
    VersionText.SetText(version);
}

void CDlgUpdate::ShowUpToDateFace() {
    StatusIcon.SetPicture(IDP_UP_TO_DATE);
    HeadlinePicture.SetPicture(IDP_CAPTION_NONE);
    MessageText.SetText(
        "\xc4\xfa\xb0\xb2\xd7\xb0\xb5\xc4HALVO\xb9\xdc\xbc\xd2\xd2\xd1\xbe\xad\xca\xc7\xd7\xee\xd0\xc2\xb0\xe6\xb1\xbe"
        "\xa3\xa1");  // 您安装的HALVO管家已经是最新版本！
    VersionText.ShowWindow(SW_HIDE);
    ::ShowWindow(GetDlgItem(IDC_UPDATABLE), SW_HIDE);
    ::ShowWindow(GetDlgItem(IDC_QUESTION), SW_HIDE);
    UpgradeButton.ShowWindow(SW_HIDE);
}

void CDlgUpdate::ShowMessage(const std::string& text) { MessageText.SetText(text); }

void CDlgUpdate::OnUpgradeNow() {
    DownloadThread.reset();
    ProgressBar.SetRange(0, static_cast<int>(DownloadList.size()));
    CompletedCount = 0;
    HeadlinePicture.SetPicture(IDP_CAPTION_DOWNLOADING);
    ShowMessage(kUpgradeStartedText);
    VersionText.ShowWindow(SW_HIDE);
    ::ShowWindow(GetDlgItem(IDC_UPDATABLE), SW_HIDE);
    ::ShowWindow(GetDlgItem(IDC_QUESTION), SW_HIDE);
    UpgradeButton.ShowWindow(SW_HIDE);

    if (!DownloadList.empty()) {
        DownloadThread = std::make_unique<CDownFileThread>(Servers, UseProxy, GetSafeHwnd(), WM_DOWNFILE_NOTIFY);
        DownloadThread->SetSavePath(StagingFolder);
        DownloadThread->SetFileList(DownloadList);
        DownloadThread->SetPackageType(static_cast<uint32_t>(Type));
        DownloadThread->Start();
        return;
    }
    // Everything is staged already: one completion of the first changed
    // file stands for the whole download and leads straight to the install.
    if (ChangedFiles.empty()) return;
    const S_UpdateFileInfo& first = ChangedFiles.front();
    ExpectedSizes.push_back(ParseLeadingInteger(first.Size, first.Size.size()));
    DownloadList.push_back(first.FileName);
    SendMessageW(GetSafeHwnd(), WM_DOWNFILE_NOTIFY, static_cast<WPARAM>(static_cast<uint32_t>(ExpectedSizes[0])),
                 static_cast<LPARAM>(ExpectedSizes[0]));
}

LRESULT CDlgUpdate::OnDownFileNotify(WPARAM wParam, LPARAM lParam) {
    const auto received = static_cast<uint32_t>(wParam);
    const auto total = static_cast<int32_t>(lParam);
    if (total == -1) {
        ShowMessage(kConnectionFailedText);
        return 0;
    }
    if (received != static_cast<uint32_t>(total)) {
        ProgressBar.SetProgress(CompletedCount);
        return 0;
    }
    // A completion beyond the list belongs to no file: an install may
    // already be under way or over.
    if (CompletedCount < 0 || static_cast<size_t>(CompletedCount) >= ExpectedSizes.size()) return 0;
    if (received == static_cast<uint32_t>(ExpectedSizes[static_cast<size_t>(CompletedCount)])) {
        ++CompletedCount;
    } else {
        if (DownloadThread) DownloadThread->Terminate();
        ShowMessage(kUpdateFailedText);
    }
    if (static_cast<size_t>(CompletedCount) == DownloadList.size()) FinishUpdate();
    return 0;
}

void CDlgUpdate::FinishUpdate() {
    // A file that arrived with the right size but other bytes, or a staged
    // file changed since the check, must not be installed.
    for (const S_UpdateFileInfo& file : ChangedFiles) {
        if (!IsFetchedFileValid(file, StagingFolder + file.FileName)) {
            ShowMessage(kUpdateFailedText);
            return;
        }
    }
    CloseClient();
    HeadlinePicture.SetPicture(IDP_CAPTION_INSTALLING);
    const bool installed = InstallStagedFiles(ChangedFiles, StagingFolder, TargetFolder);

    std::string newVersion;
    CConfigFile(StagingFolder + ManifestFileName).ReadString("Version", "VERSION", "", newVersion);
    // The new version is claimed only when every file is in place; otherwise
    // the record says so and the next check compares against the old one.
    if (installed && Type == 1) {
        if (IsVersionGreater(newVersion, LocalVersion)) WriteConfiguredVersion(ApplicationFolder, newVersion);
        RegisterInstall(ApplicationFolder, newVersion);
    }
    if (installed && Type != 1) {
        // The package's own record belongs in the package's folder, as the
        // silent run keeps it.
        CopyFileW(Widen(StagingFolder + kDataPackageManifest).c_str(),
                  Widen(TargetFolder + kDataPackageManifest).c_str(), FALSE);
    }
    WriteUpdateRecord(ApplicationFolder, kRecordSectionFormat, newVersion, LocalVersion, installed);
    CDirectoryEx::DeleteDirectory(StagingFolder);
    RestartClient(ApplicationFolder, 0);
    EndDialog(1);
}

void CDlgUpdate::OnClose() { EndDialog(1); }

void CDlgUpdate::OnLButtonDown(UINT, POINT point) { BeginTitleBandDrag(GetSafeHwnd(), point); }

HBRUSH CDlgUpdate::OnCtlColor(HDC dc, HWND control, UINT kind) {
    return ColorStaticsOverSkin(dc, kind, CImageDialog::OnCtlColor(dc, control, kind), kDarkTextColor);
}
