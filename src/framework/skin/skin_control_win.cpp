#include "framework/skin/skin_control_win.h"

#include "framework/skin/gdi_objects_win.h"
#include "base/gbk_text.h"

void CSkinControl::SetText(const std::string& text) const {
    if (GetSafeHwnd() != nullptr) SetWindowTextW(GetSafeHwnd(), Widen(text).c_str());
}

void CSkinControl::Render(HDC target) {
    RECT client{};
    GetClientRect(GetSafeHwnd(), &client);
    if (SeeThrough()) {
        Paint(target, client);
        return;
    }
    BufferedPaint buffer(target, client.right, client.bottom);
    PaintParentBackground(GetSafeHwnd(), buffer.Dc());
    Paint(buffer.Dc(), client);
    buffer.Present();
}

void CSkinControl::Refresh() const {
    const HWND hwnd = GetSafeHwnd();
    if (hwnd == nullptr) return;
    const HWND parent = GetParent(hwnd);
    if (!SeeThrough() || parent == nullptr) {
        InvalidateRect(hwnd, nullptr, FALSE);
        return;
    }
    // What the control drew before lies on the parent's surface: repaint
    // the parent there, and every child in that area over it.
    RECT area{};
    GetWindowRect(hwnd, &area);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CSkinControl::Resize(int width, int height) const {
    if (GetSafeHwnd() == nullptr || width <= 0 || height <= 0) return;
    SetWindowPos(GetSafeHwnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CSkinControl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // everything is drawn in WM_PAINT, in one go
    case WM_PAINT: {
        PaintScope paint(GetSafeHwnd());
        Render(paint.Dc());
        return 0;
    }
    case WM_PRINTCLIENT:
        Render(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETTEXT: {
        // Store the text without the control's own painting, then repaint
        // it the skinned way.
        const LRESULT result = DefWindowProcW(GetSafeHwnd(), message, wParam, lParam);
        Refresh();
        return result;
    }
    default:
        return CControlWindow::WindowProc(message, wParam, lParam);
    }
}

void PaintParentBackground(HWND control, HDC dc) {
    const HWND parent = GetParent(control);
    if (parent == nullptr) return;
    POINT origin{0, 0};
    MapWindowPoints(control, parent, &origin, 1);
    POINT previous{};
    SetViewportOrgEx(dc, -origin.x, -origin.y, &previous);
    SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
}
