#include "ui/dlg_notify_win.h"

#include "base/gbk_text.h"
#include "ui/dialog_skin_win.h"
#include "ui/notify_placement.h"
#include "ui/res/resource.h"

#include <shellapi.h>

namespace {
ScreenRect ToScreenRect(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }
}  // namespace

CDlgNotify::CDlgNotify() : CImageDialog(IDD_NOTIFY, nullptr) {}
CDlgNotify::~CDlgNotify() = default;

const CMessageMap* CDlgNotify::GetThisMessageMap() {
    static constexpr CMessageMapEntry entries[] = {
        OnCommand<CDlgNotify, &CDlgNotify::OnUpgradeNow>(IDC_NOTIFY_UPGRADE),
        OnCommand<CDlgNotify, &CDlgNotify::OnLater>(IDC_LATER),
        OnCommand<CDlgNotify, &CDlgNotify::OnLater>(IDC_CLOSE_BUTTON),
        // Esc, Alt+F4 and the system menu's close reach a dialog as IDCANCEL:
        // dismissing the window means "not now".
        OnCommand<CDlgNotify, &CDlgNotify::OnLater>(IDCANCEL),
        OnCtlColorMessage<CDlgNotify, &CDlgNotify::OnCtlColor>(),
        OnMouse<CDlgNotify, &CDlgNotify::OnLButtonDown>(WM_LBUTTONDOWN),
        OnCommand<CDlgNotify, &CDlgNotify::OnOpenWebSite>(IDC_WEBSITE_LINK),
    };
    static constexpr CMessageMap map{&CImageDialog::GetThisMessageMap, entries};
    return &map;
}

const CMessageMap* CDlgNotify::GetMessageMap() const { return GetThisMessageMap(); }

void CDlgNotify::DoDataExchange(CDataExchange& exchange) {
    CImageDialog::DoDataExchange(exchange);
    DDX_Text(exchange, IDC_CURRENT_VERSION, CurrentVersion);
    DDX_Text(exchange, IDC_NEW_VERSION, NewVersion);
    DDX_Control(exchange, IDC_NOTIFY_UPGRADE, UpgradeButton);
    DDX_Control(exchange, IDC_LATER, LaterButton);
    DDX_Control(exchange, IDC_CLOSE_BUTTON, CloseButton);
    DDX_Control(exchange, IDC_CURRENT_VERSION, CurrentVersionText);
    DDX_Control(exchange, IDC_NEW_VERSION, NewVersionText);
}

bool CDlgNotify::OnInitDialog() {
    CImageDialog::OnInitDialog();
    SetWindowText(LoadText(IDS_NOTIFY_TITLE));
    SetBackPicture(kPngPicture, IDP_NOTIFY_BACKGROUND, nullptr, false);
    ApplyRoundButtonSkin(LaterButton);
    ApplyRoundButtonSkin(UpgradeButton);
    ApplyCloseButtonSkin(CloseButton);
    for (CStaticText* text : {&CurrentVersionText, &NewVersionText}) {
        text->SetFontSize(kTextFontSize, 0);
        text->SetTextColor(kNotifyTextColor);
        text->SetBold(true);
    }
    LinkText.SetFontSize(kTextFontSize, 0);
    LinkText.SetTextColor(kNotifyTextColor);
    LinkText.SetUnderline(true);
    LinkText.SetCursor(LoadCursorW(nullptr, IDC_HAND));
    PlaceAboveTaskbar();
    return true;
}

void CDlgNotify::PlaceAboveTaskbar() {
    RECT taskbar{};
    const HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    const bool hasTaskbar = tray != nullptr && GetWindowRect(tray, &taskbar);
    RECT window{};
    GetWindowRect(GetSafeHwnd(), &window);
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    const ScreenRect taskbarRect = ToScreenRect(taskbar);
    const ScreenPoint at = PlaceNotification(hasTaskbar ? &taskbarRect : nullptr, ToScreenRect(window),
                                             ToScreenRect(desktop), ToScreenRect(workArea));
    MoveWindow(GetSafeHwnd(), at.X, at.Y, window.right - window.left, window.bottom - window.top, TRUE);
}

void CDlgNotify::OnUpgradeNow() { EndDialog(IDYES); }

void CDlgNotify::OnLater() { EndDialog(IDNO); }

void CDlgNotify::OnOpenWebSite() {
    ShellExecuteW(nullptr, L"open", Widen(WebSiteURL).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CDlgNotify::OnLButtonDown(UINT, POINT point) { BeginTitleBandDrag(GetSafeHwnd(), point); }

HBRUSH CDlgNotify::OnCtlColor(HDC dc, HWND control, UINT kind) {
    return ColorStaticsOverSkin(dc, kind, CImageDialog::OnCtlColor(dc, control, kind), kNotifyTextColor);
}
