#include "dialog_probe_win.h"

#include "base/gbk_text.h"

namespace {
struct ProbeState {
    CDialog* dialog = nullptr;
    const std::function<void(HWND)>* probe = nullptr;
    AfterProbe after = AfterProbe::EndIfOpen;
    UINT_PTR timer = 0;
    UINT_PTR watchdog = 0;
};
thread_local ProbeState state;

void CALLBACK OnProbeTimer(HWND, UINT, UINT_PTR, DWORD) {
    const HWND hwnd = state.dialog->GetSafeHwnd();
    // The modal loop shows the window once its queue is first empty; a timer
    // that fell due during a long OnInitDialog comes before that.
    if (hwnd == nullptr || !IsWindowVisible(hwnd)) return;
    KillTimer(nullptr, state.timer);
    (*state.probe)(hwnd);
    if (state.after == AfterProbe::LetItRun) return;
    // EndDialog hides the window at once; a visible one was left open.
    if (state.dialog->GetSafeHwnd() != nullptr && IsWindowVisible(hwnd)) state.dialog->EndDialog(kProbeLeftOpen);
}

void CALLBACK OnWatchdog(HWND, UINT, UINT_PTR, DWORD) {
    KillTimer(nullptr, state.watchdog);
    state.dialog->EndDialog(kProbeLeftOpen);
}
}  // namespace

INT_PTR RunWithProbe(CDialog& dialog, const std::function<void(HWND)>& probe, AfterProbe after) {
    state = {&dialog, &probe, after, 0, 0};
    // Thread timers: they fire inside the dialog's own modal loop.
    state.timer = SetTimer(nullptr, 0, 100, &OnProbeTimer);
    state.watchdog = SetTimer(nullptr, 0, 30000, &OnWatchdog);
    const INT_PTR result = dialog.DoModal();
    KillTimer(nullptr, state.timer);
    KillTimer(nullptr, state.watchdog);
    state = {};
    return result;
}

std::string ControlText(HWND dialog, int id) {
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, id, text, 512);
    return Narrow(text);
}

bool ControlVisible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

bool PressStartsWindowMove(HWND dialog, POINT point) {
    SendMessageW(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
    MSG message;
    bool posted = false;
    while (PeekMessageW(&message, dialog, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE)) {
        posted = posted || message.wParam == HTCAPTION;
    }
    SendMessageW(dialog, WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
    return posted;
}

std::string ResourceText(UINT id) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? Narrow(std::wstring_view(text, static_cast<size_t>(length))) : std::string();
}
