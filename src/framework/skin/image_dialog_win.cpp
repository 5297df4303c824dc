#include "framework/skin/image_dialog_win.h"

#include "framework/skin/gdi_objects_win.h"

CImageDialog::CImageDialog(UINT templateId, HWND parent) : CDialog(templateId, parent) {}
CImageDialog::~CImageDialog() = default;

bool CImageDialog::SetBackPicture(int kind, UINT id, HMODULE module, bool stretch) {
    if (kind != kPngPicture) return false;
    const bool loaded = background_.Load(module != nullptr ? module : ResourceModule(), id);
    stretch_ = stretch;
    if (!loaded || GetSafeHwnd() == nullptr) return loaded;
    if (!stretch) FitToBackground();
    InvalidateRect(GetSafeHwnd(), nullptr, TRUE);
    return true;
}

void CImageDialog::FitToBackground() const {
    RECT client{};
    GetClientRect(GetSafeHwnd(), &client);
    const int width = background_.Width();
    const int height = background_.Height();
    if (client.right > 0 && client.bottom > 0 && (client.right != width || client.bottom != height)) {
        // The template is laid out in dialog units, which follow the dialog
        // font's metrics; the picture is in pixels. Where the two disagree
        // (another font stands in for the template's, or another DPI), the
        // controls keep their places relative to the picture.
        for (HWND child = GetWindow(GetSafeHwnd(), GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            RECT rect{};
            GetWindowRect(child, &rect);
            MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&rect), 2);
            const int left = MulDiv(rect.left, width, client.right);
            const int top = MulDiv(rect.top, height, client.bottom);
            MoveWindow(child, left, top, MulDiv(rect.right, width, client.right) - left,
                       MulDiv(rect.bottom, height, client.bottom) - top, FALSE);
        }
    }
    SetWindowPos(GetSafeHwnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

const CMessageMap* CImageDialog::GetThisMessageMap() {
    static constexpr CMessageMapEntry entries[] = {
        OnMessage<CImageDialog, &CImageDialog::OnEraseBackground>(WM_ERASEBKGND),
        OnCtlColorMessage<CImageDialog, &CImageDialog::OnCtlColor>(),
    };
    static constexpr CMessageMap map{&CDialog::GetThisMessageMap, entries};
    return &map;
}

const CMessageMap* CImageDialog::GetMessageMap() const { return GetThisMessageMap(); }

HBRUSH CImageDialog::OnCtlColor(HDC dc, HWND, UINT kind) {
    switch (kind) {
    case CTLCOLOR_DLG:
    case CTLCOLOR_STATIC:
        SetBkMode(dc, TRANSPARENT);
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    case CTLCOLOR_EDIT:
    case CTLCOLOR_LISTBOX:
        return GetSysColorBrush(COLOR_WINDOW);
    default:
        return GetSysColorBrush(COLOR_BTNFACE);
    }
}

LRESULT CImageDialog::OnEraseBackground(WPARAM wParam, LPARAM) {
    const HDC dc = reinterpret_cast<HDC>(wParam);
    RECT client{};
    GetClientRect(GetSafeHwnd(), &client);
    if (!background_.IsLoaded()) {
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        return TRUE;
    }
    if (stretch_) {
        background_.DrawStretched(dc, client);
    } else {
        background_.Draw(dc, 0, 0);
    }
    return TRUE;
}
