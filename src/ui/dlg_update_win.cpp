#include "ui/dlg_update_win.h"

#include "base/directory_ex.h"
#include "engine/client_program_win.h"
#include "ui/button_skin_win.h"
#include "ui/download_plan.h"
#include "ui/res/resource.h"
#include "ui/skin_colors.h"
#include "ui/static_color_win.h"
#include "ui/title_band_drag_win.h"

namespace {
// What a failure tells the user: the server could not be reached (worth
// another try later), what it sent was refused, or this computer's files
// stand in the way. A request the updater refuses (a package name its
// caller got wrong) is no fault of the server's.
UINT MessageFor(const Failure& why) {
    if (why.Kind == FailureKind::BadRequest) return IDS_UPDATE_FAILED;
    switch (ClassOf(why.Kind)) {
    case FailureClass::Network:
        return IDS_CONNECTION_FAILED;
    case FailureClass::RefusedData:
        return IDS_RELEASE_REFUSED;
    case FailureClass::Local:
        break;
    }
    return IDS_LOCAL_FILES_FAILED;
}
}  // namespace

CDlgUpdate::CDlgUpdate() : CImageDialog(IDD_UPDATE, nullptr) {}

CDlgUpdate::~CDlgUpdate() {
    // The thread's own destructor waits for a run still going.
    if (DownloadThread) DownloadThread->Terminate();
    DownloadThread.reset();
}

const CMessageMap* CDlgUpdate::GetThisMessageMap() {
    static constexpr CMessageMapEntry entries[] = {
        OnCommand<CDlgUpdate, &CDlgUpdate::OnClose>(IDC_CLOSE_BUTTON),
        OnCommand<CDlgUpdate, &CDlgUpdate::OnClose>(IDC_TITLE_CLOSE),
        // Esc, Alt+F4 and the system menu's close reach a dialog as IDCANCEL.
        OnCommand<CDlgUpdate, &CDlgUpdate::OnClose>(IDCANCEL),
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
    SetWindowText(LoadText(IDS_UPDATE_TITLE));
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
    const std::string applicationFolder =
        ApplicationFolderOverride.empty() ? CDirectoryEx::GetApplicationPath() : ApplicationFolderOverride;
    Run = std::make_unique<CUpdateRun>(DialogRun(applicationFolder, Type, Name));
    switch (Run->Check()) {
    case CheckResult::Failed:
        // Never "up to date" when the check could not tell.
        ShowUpToDateFace(MessageFor(Run->WhyFailed()->Why));
        return;
    case CheckResult::UpToDate:
        ShowUpToDateFace(IDS_UP_TO_DATE);
        return;
    case CheckResult::UpdateDue:
        break;
    }
    DownloadPlan plan = PlanDownloads(Run->FilesToFetch());
    DownloadList = std::move(plan.Names);
    ExpectedSizes = std::move(plan.ExpectedSizes);
    ShowUpdateAvailableFace(Run->Header().Version);
}

void CDlgUpdate::ShowUpdateAvailableFace(const std::string& version) {
    StatusIcon.SetPicture(IDP_UPDATE_AVAILABLE);
    HeadlinePicture.SetPicture(IDP_CAPTION_FOUND);
    VersionText.SetText(version);
    offerShown_ = true;
}

void CDlgUpdate::ShowUpToDateFace(UINT messageId) {
    StatusIcon.SetPicture(IDP_UP_TO_DATE);
    HeadlinePicture.SetPicture(IDP_CAPTION_NONE);
    ShowMessage(messageId);
    HideOffer();
    offerShown_ = false;
}

// The version, its trailer, the question and the button that answers it.
void CDlgUpdate::HideOffer() {
    VersionText.ShowWindow(SW_HIDE);
    ::ShowWindow(GetDlgItem(IDC_UPDATABLE), SW_HIDE);
    ::ShowWindow(GetDlgItem(IDC_QUESTION), SW_HIDE);
    UpgradeButton.ShowWindow(SW_HIDE);
}

void CDlgUpdate::ShowMessage(UINT textId) { MessageText.SetText(LoadText(textId)); }

void CDlgUpdate::OnUpgradeNow() {
    offerShown_ = false;
    DownloadThread.reset();
    ProgressBar.SetRange(0, static_cast<int>(DownloadList.size()));
    CompletedCount = 0;
    HeadlinePicture.SetPicture(IDP_CAPTION_DOWNLOADING);
    ShowMessage(IDS_UPGRADE_STARTED);
    HideOffer();
    if (!Run) return;

    if (!DownloadList.empty()) {
        // A server that failed the check is asked last by the download too.
        DownloadThread = std::make_unique<CDownFileThread>(Run->ServersInPreferredOrder(), Run->Settings().UseProxy,
                                                           GetSafeHwnd(), WM_DOWNFILE_NOTIFY);
        DownloadThread->SetSavePath(Run->FetchFolders().Staging);
        DownloadThread->SetInstalledFolder(Run->FetchFolders().Installed);
        DownloadThread->SetFileList(Run->FilesToFetch());
        DownloadThread->SetAttemptObserver(Run->TransferObserver());
        DownloadThread->SetPackageType(static_cast<uint32_t>(Type));
        DownloadThread->Start();
        return;
    }
    // Everything is staged already: one completion of the first changed
    // file stands for the whole download and leads straight to the install.
    if (Run->ChangedFiles().empty()) return;
    const DownloadPlan first = PlanDownloads({Run->ChangedFiles().front()});
    ExpectedSizes = first.ExpectedSizes;
    DownloadList = first.Names;
    SendMessageW(GetSafeHwnd(), WM_DOWNFILE_NOTIFY, static_cast<WPARAM>(static_cast<uint32_t>(ExpectedSizes[0])),
                 static_cast<LPARAM>(ExpectedSizes[0]));
}

LRESULT CDlgUpdate::OnDownFileNotify(WPARAM wParam, LPARAM lParam) {
    const auto received = static_cast<uint32_t>(wParam);
    const auto total = static_cast<int32_t>(lParam);
    if (total == -1) {
        // The thread that sent the notice waits for this handler: its result stands still.
        const Failure why = DownloadThread ? DownloadThread->Result().Why : Failure{FailureKind::Connect};
        ShowMessage(ClassOf(why.Kind) == FailureClass::Network ? IDS_CONNECTION_FAILED : IDS_UPDATE_FAILED);
        if (Run && CompletedCount < static_cast<int32_t>(DownloadList.size())) {
            Run->FetchFailed(DownloadList[static_cast<size_t>(CompletedCount)], why);
        }
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
        ShowMessage(IDS_UPDATE_FAILED);
        if (Run) {
            const auto index = static_cast<size_t>(CompletedCount);
            Run->FetchFailed(DownloadList[index],
                             Failure{FailureKind::Mismatch, 0, 0,
                                     "it arrived with " + std::to_string(received) + " bytes, not the " +
                                         std::to_string(ExpectedSizes[index]) + " listed"});
        }
    }
    if (static_cast<size_t>(CompletedCount) == DownloadList.size()) FinishUpdate();
    return 0;
}

void CDlgUpdate::FinishUpdate() {
    const InstallResult result = Run->Install([this] {
        // Only once every staged file is known good: the client is closed
        // before the first file is replaced.
        CloseClient();
        HeadlinePicture.SetPicture(IDP_CAPTION_INSTALLING);
    });
    if (result == InstallResult::StagedFilesInvalid) {
        ShowMessage(IDS_UPDATE_FAILED);
        return;
    }
    Run->RemoveStagingFolder();
    Run->RestartClient(0);
    EndDialog(1);
}

void CDlgUpdate::OnClose() {
    if (Run && offerShown_) Run->Log().Write("closed by the user with release \"" + Run->Header().Version + "\" on offer");
    EndDialog(1);
}

void CDlgUpdate::WatchClientStart(CInstanceLock& lock) {
    if (Run) Run->WatchClientStart(&lock);
}

RunOutcome CDlgUpdate::Conclude() {
    // A download still under way writes to the run's log: it ends before
    // the log's last line.
    DownloadThread.reset();
    return Run ? Run->Conclude() : RunOutcome::NothingToDo;
}

void CDlgUpdate::OnLButtonDown(UINT, POINT point) { BeginTitleBandDrag(GetSafeHwnd(), point); }

HBRUSH CDlgUpdate::OnCtlColor(HDC dc, HWND control, UINT kind) {
    return ColorStaticsOverSkin(dc, kind, CImageDialog::OnCtlColor(dc, control, kind), kDarkTextColor);
}
