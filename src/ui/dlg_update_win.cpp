#include "ui/dlg_update_win.h"

#include "base/directory_ex.h"
#include "engine/client_program_win.h"
#include "ui/dialog_skin_win.h"
#include "ui/res/resource.h"

namespace {
constexpr Headline kFoundHeadline{IDP_CAPTION_FOUND, IDS_CAPTION_FOUND};
constexpr Headline kNoneHeadline{IDP_CAPTION_NONE, IDS_CAPTION_NONE};
constexpr Headline kCheckFailedHeadline{IDP_CAPTION_CHECK_FAILED, IDS_CAPTION_CHECK_FAILED};
constexpr Headline kDownloadingHeadline{IDP_CAPTION_DOWNLOADING, IDS_CAPTION_DOWNLOADING};
constexpr Headline kInstallingHeadline{IDP_CAPTION_INSTALLING, IDS_CAPTION_INSTALLING};
constexpr Headline kUpdateFailedHeadline{IDP_CAPTION_UPDATE_FAILED, IDS_CAPTION_UPDATE_FAILED};

// What the failure that ended the run tells the user, whichever step it
// ended: the server could not be reached (worth another try later), what it
// sent was refused, or this computer's files stand in the way. A request
// the updater refuses (a package name its caller got wrong) is none of
// these. Every step that fails records why; without a reason the dialog
// can say no more than that the update went wrong.
UINT MessageFor(const std::optional<RunFailure>& failure) {
    if (!failure || failure->Why.Kind == FailureKind::BadRequest) return IDS_UPDATE_FAILED;
    switch (ClassOf(failure->Why.Kind)) {
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
        ShowOutcomeFace(kCheckFailedHeadline, MessageFor(Run->WhyFailed()));
        return;
    case CheckResult::UpToDate:
    case CheckResult::NotYet:  // a paused release: nothing to offer
        ShowOutcomeFace(kNoneHeadline, IDS_UP_TO_DATE);
        return;
    case CheckResult::UpdateDue:
        break;
    }
    for (const S_UpdateFileInfo& file : Run->FilesToFetch()) DownloadList.push_back(file.FileName);
    ShowUpdateAvailableFace(Run->Header().Version);
}

void CDlgUpdate::ShowUpdateAvailableFace(const std::string& version) {
    StatusIcon.SetPicture(IDP_UPDATE_AVAILABLE);
    ShowHeadline(kFoundHeadline);
    VersionText.SetText(version);
    offerShown_ = true;
}

void CDlgUpdate::ShowOutcomeFace(const Headline& headline, UINT messageId) {
    StatusIcon.SetPicture(IDP_UP_TO_DATE);
    ShowHeadline(headline);
    ShowMessage(messageId);
    HideOffer();
    offerShown_ = false;
}

void CDlgUpdate::ShowHeadline(const Headline& headline) {
    HeadlinePicture.SetPicture(headline.Picture);
    // The picture's words as the control's text, for screen readers and
    // for whatever reads the window (the control draws the picture alone).
    HeadlinePicture.SetText(LoadText(headline.Words));
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
    ShowHeadline(kDownloadingHeadline);
    ShowMessage(IDS_UPGRADE_STARTED);
    HideOffer();
    if (!Run) return;
    // Everything is staged already: the install checks each staged file.
    if (DownloadList.empty()) {
        FinishUpdate();
        return;
    }
    // A server that failed the check is asked last by the download too.
    DownloadThread = std::make_unique<CDownFileThread>(Run->ServersInPreferredOrder(), Run->Settings().UseProxy,
                                                       GetSafeHwnd(), WM_DOWNFILE_NOTIFY);
    DownloadThread->SetFolders(Run->FetchFolders());
    DownloadThread->SetFileList(Run->FilesToFetch());
    DownloadThread->SetAttemptObserver(Run->TransferObserver());
    DownloadThread->SetPackageType(static_cast<uint32_t>(Type));
    DownloadThread->Start();
}

LRESULT CDlgUpdate::OnDownFileNotify(WPARAM wParam, LPARAM lParam) {
    // A notice beyond the list belongs to no file: an install may already
    // be under way or over.
    if (!Run || CompletedCount < 0 || static_cast<size_t>(CompletedCount) >= DownloadList.size()) return 0;
    const auto received = static_cast<uint32_t>(wParam);
    const auto total = static_cast<int32_t>(lParam);
    if (total == -1) {
        // The thread that sent the notice waits for this handler: its result stands still.
        const Failure why = DownloadThread ? DownloadThread->Result().Why : Failure{FailureKind::Connect};
        Run->FetchFailed(DownloadList[static_cast<size_t>(CompletedCount)], why);
        ShowOutcomeFace(kUpdateFailedHeadline, MessageFor(Run->WhyFailed()));
        return 0;
    }
    if (received != static_cast<uint32_t>(total)) {
        ProgressBar.SetProgress(CompletedCount);
        return 0;
    }
    // A completion only counts: the transfer completes a file once it is
    // the one listed, and the install checks every staged file again.
    if (static_cast<size_t>(++CompletedCount) == DownloadList.size()) FinishUpdate();
    return 0;
}

void CDlgUpdate::FinishUpdate() {
    const InstallResult result = Run->Install([this] {
        // Only once every staged file is known good: the client is closed
        // before the first file is replaced.
        CloseClient();
        ShowHeadline(kInstallingHeadline);
    });
    if (result == InstallResult::StagedFilesInvalid) {
        // Nothing was replaced, and the client was not closed; as in the
        // silent run, the next run starts again from the manifest.
        Run->RemoveStagingFolder();
        ShowOutcomeFace(kUpdateFailedHeadline, MessageFor(Run->WhyFailed()));
        return;
    }
    Run->RemoveStagingFolder();
    // The client was closed for the install: it runs again however that went.
    Run->RestartClient(0);
    if (result == InstallResult::Incomplete) {
        // Recorded as not succeeded, so the next run tries again; the dialog
        // stays to say why until the user closes it.
        ShowOutcomeFace(kUpdateFailedHeadline, MessageFor(Run->WhyFailed()));
        return;
    }
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
