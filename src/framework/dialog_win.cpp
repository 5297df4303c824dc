#include "framework/dialog_win.h"

#include "base/gbk_text.h"

#include <vector>

namespace {
bool IsCtlColorMessage(UINT message) { return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC; }

// Messages whose answer a dialog procedure returns directly instead of
// through DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
    return IsCtlColorMessage(message) || message == WM_COMPAREITEM || message == WM_VKEYTOITEM ||
           message == WM_CHARTOITEM || message == WM_QUERYDRAGICON || message == WM_INITDIALOG;
}

// A dialog that OnInitDialog did not place goes to the middle of its owner,
// or of the work area when it has none.
void CenterWindow(HWND hwnd, HWND owner) {
    RECT area{};
    if (owner == nullptr || !GetWindowRect(owner, &area)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT window{};
    GetWindowRect(hwnd, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    SetWindowPos(hwnd, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Matches(const CMessageMapEntry& entry, UINT message, WPARAM wParam) {
    if (entry.Message != message) return false;
    if (message != WM_COMMAND) return true;
    return entry.ControlId == LOWORD(wParam) && entry.Code == HIWORD(wParam);
}
}  // namespace

CDialog::CDialog(UINT templateId, HWND parent)
    : templateId_(templateId), parent_(parent), module_(GetModuleHandleW(nullptr)) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
    return DialogBoxParamW(module_, MAKEINTRESOURCEW(templateId_), parent_, &DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(INT_PTR result) {
    if (hwnd_ == nullptr) return;
    ::EndDialog(hwnd_, result);
    // The modal loop looks at the end flag only when a message arrives; Wine's
    // does not wake by itself and would sit until the next input or timer.
    PostMessageW(hwnd_, WM_NULL, 0, 0);
}

HWND CDialog::GetDlgItem(int id) const { return hwnd_ == nullptr ? nullptr : ::GetDlgItem(hwnd_, id); }

void CDialog::SetWindowText(const std::string& text) const {
    if (hwnd_ != nullptr) ::SetWindowTextW(hwnd_, Widen(text).c_str());
}

std::string CDialog::GetWindowText() const {
    if (hwnd_ == nullptr) return {};
    return Narrow(GetWindowWideText(hwnd_));
}

std::string CDialog::LoadText(UINT id) const {
    // With a length of 0, LoadString hands out the resource's own read-only
    // text, which is not terminated: its length is the result.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(module_, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? Narrow(std::wstring_view(text, static_cast<size_t>(length))) : std::string();
}

bool CDialog::UpdateData(bool saveAndValidate) {
    CDataExchange exchange(*this, saveAndValidate);
    DoDataExchange(exchange);
    return exchange.Succeeded();
}

const CMessageMap* CDialog::GetThisMessageMap() {
    static constexpr CMessageMap map{nullptr, {}};
    return &map;
}

const CMessageMap* CDialog::GetMessageMap() const { return GetThisMessageMap(); }

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::DoDataExchange(CDataExchange&) {}

CMessageResult CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    CCtlColorArgs ctlColor{};
    UINT mapMessage = message;
    if (IsCtlColorMessage(message)) {
        ctlColor = {reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message - WM_CTLCOLORMSGBOX};
        mapMessage = kCtlColorMessage;
        lParam = reinterpret_cast<LPARAM>(&ctlColor);
    }
    for (const CMessageMap* map = GetMessageMap(); map != nullptr; map = map->Base ? map->Base() : nullptr) {
        for (const CMessageMapEntry& entry : map->Entries) {
            if (Matches(entry, mapMessage, wParam)) return entry.Invoke(*this, wParam, lParam);
        }
    }
    if (message == WM_DRAWITEM) {
        // Owner-drawn controls draw themselves: hand the request back to the
        // control that asked for it.
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item != nullptr && item->CtlType != ODT_MENU && item->hwndItem != nullptr) {
            const LRESULT drawn = SendMessageW(item->hwndItem, CControlWindow::kReflectBase + WM_DRAWITEM,
                                               wParam, lParam);
            return {drawn != 0, TRUE};
        }
    }
    return {};
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        dialog->hwnd_ = hwnd;
    } else {
        dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (dialog == nullptr) return FALSE;  // messages before WM_INITDIALOG (WM_SETFONT)
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        dialog->hwnd_ = nullptr;
        return FALSE;
    }
    try {
        if (message == WM_INITDIALOG) {
            RECT before{};
            GetWindowRect(hwnd, &before);
            const bool focusLeftToSystem = dialog->OnInitDialog();
            RECT after{};
            GetWindowRect(hwnd, &after);
            if (before.left == after.left && before.top == after.top) CenterWindow(hwnd, dialog->parent_);
            return focusLeftToSystem ? TRUE : FALSE;
        }
        const CMessageResult result = dialog->Dispatch(message, wParam, lParam);
        if (!result.Handled) return FALSE;
        if (ReturnsDirectly(message)) return static_cast<INT_PTR>(result.Value);
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result.Value);
        return TRUE;
    } catch (...) {
        ::EndDialog(hwnd, -1);
        return FALSE;
    }
}

void DDX_Control(CDataExchange& exchange, int id, CControlWindow& control) {
    if (control.GetSafeHwnd() != nullptr) return;
    if (!control.Attach(exchange.Dialog().GetDlgItem(id))) exchange.Fail();
}

void DDX_Text(CDataExchange& exchange, int id, std::string& value) {
    const HWND item = exchange.Dialog().GetDlgItem(id);
    if (item == nullptr) {
        exchange.Fail();
        return;
    }
    if (!exchange.SaveAndValidate()) {
        SetWindowTextW(item, Widen(value).c_str());
        return;
    }
    value = Narrow(GetWindowWideText(item));
}
