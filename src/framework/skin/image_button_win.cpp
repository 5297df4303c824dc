#include "framework/skin/image_button_win.h"

#include "framework/skin/gdi_objects_win.h"

#include <string>

namespace {
HMODULE OrProgram(HMODULE module) { return module != nullptr ? module : GetModuleHandleW(nullptr); }
}  // namespace

bool CImageButtonX::SetImage(UINT id, HMODULE module) {
    const bool loaded = faces_[kStateNormal - 1].Load(OrProgram(module), id);
    if (loaded) Resize(faces_[0].Width(), faces_[0].Height());
    Invalidate();
    return loaded;
}

bool CImageButtonX::SetOverImage(UINT id, HMODULE module) {
    return faces_[kStateHover - 1].Load(OrProgram(module), id);
}

bool CImageButtonX::SetSelectImage(UINT id, HMODULE module) {
    return faces_[kStatePressed - 1].Load(OrProgram(module), id);
}

void CImageButtonX::SetTextColor(int state, COLORREF color) {
    if (state < kStateNormal || state > kStatePressed) return;
    textColors_[static_cast<size_t>(state - 1)] = color;
    Invalidate();
}

void CImageButtonX::SetShowText(bool show) {
    showText_ = show;
    Invalidate();
}

int CImageButtonX::CurrentState() const {
    if (pressed_) return kStatePressed;
    return hover_ ? kStateHover : kStateNormal;
}

void CImageButtonX::OnAttached() {
    // The button keeps its clicks and keyboard handling; only its drawing is ours.
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(GetSafeHwnd(), GWL_STYLE));
    SendMessageW(GetSafeHwnd(), BM_SETSTYLE, (style & ~static_cast<DWORD>(BS_TYPEMASK)) | BS_OWNERDRAW, TRUE);
}

const CPngImage& CImageButtonX::FaceFor(int state) const {
    const CPngImage& face = faces_[static_cast<size_t>(state - 1)];
    return face.IsLoaded() ? face : faces_[0];
}

void CImageButtonX::Paint(HDC dc, const RECT& client) {
    const int state = CurrentState();
    FaceFor(state).Draw(dc, 0, 0);
    if (!showText_) return;
    const std::wstring text = GetWindowWideText(GetSafeHwnd());
    const auto font = reinterpret_cast<HFONT>(SendMessageW(GetSafeHwnd(), WM_GETFONT, 0, 0));
    SelectedObject selected(dc, font != nullptr ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, textColors_[static_cast<size_t>(state - 1)]);
    RECT area = client;
    if (faces_[0].IsLoaded()) {
        area.right = area.left + faces_[0].Width();
        area.bottom = area.top + faces_[0].Height();
    }
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

LRESULT CImageButtonX::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case kReflectBase + WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        pressed_ = (item->itemState & ODS_SELECTED) != 0;
        Render(item->hDC);
        return TRUE;
    }
    case WM_MOUSEMOVE:
        if (!hover_) {
            hover_ = true;
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, GetSafeHwnd(), 0};
            TrackMouseEvent(&track);
            Invalidate();
        }
        return Default(message, wParam, lParam);
    case WM_MOUSELEAVE:
        hover_ = false;
        Invalidate();
        return Default(message, wParam, lParam);
    default:
        // The button's own painting sends WM_DRAWITEM: no WM_PAINT of ours.
        return Default(message, wParam, lParam);
    }
}
