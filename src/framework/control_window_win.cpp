#include "framework/control_window_win.h"

#include <commctrl.h>

namespace {
// One id for every subclass installed by this layer; the reference data
// tells the objects apart.
constexpr UINT_PTR kSubclassId = 0x51524131;  // "QRA1"
}  // namespace

std::wstring GetWindowWideText(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

CControlWindow::~CControlWindow() { Detach(); }

bool CControlWindow::Attach(HWND control) {
    if (control == nullptr || hwnd_ != nullptr) return false;
    DWORD_PTR existing = 0;
    if (GetWindowSubclass(control, &SubclassProc, kSubclassId, &existing)) return false;
    if (!SetWindowSubclass(control, &SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) return false;
    hwnd_ = control;
    OnAttached();
    return true;
}

void CControlWindow::Detach() {
    if (hwnd_ == nullptr) return;
    RemoveWindowSubclass(hwnd_, &SubclassProc, kSubclassId);
    hwnd_ = nullptr;
}

void CControlWindow::ShowWindow(int command) const {
    if (hwnd_ != nullptr) ::ShowWindow(hwnd_, command);
}

bool CControlWindow::IsWindowVisible() const { return hwnd_ != nullptr && ::IsWindowVisible(hwnd_); }

void CControlWindow::Invalidate() const {
    if (hwnd_ != nullptr) InvalidateRect(hwnd_, nullptr, FALSE);
}

LRESULT CControlWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT CControlWindow::Default(UINT message, WPARAM wParam, LPARAM lParam) const {
    return DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK CControlWindow::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR self) {
    auto* control = reinterpret_cast<CControlWindow*>(self);
    if (message == WM_NCDESTROY) {
        // The window goes first: let it finish, then forget it.
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        control->Detach();
        return result;
    }
    try {
        return control->WindowProc(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's frames; the control keeps
        // its own behaviour for this message.
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
}
