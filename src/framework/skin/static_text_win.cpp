#include "framework/skin/static_text_win.h"

#include <string>

void CStaticText::SetFontSize(int height, int width) {
    height_ = height;
    width_ = width;
    RebuildFont();
}

void CStaticText::SetTextColor(COLORREF color) {
    color_ = color;
    Refresh();
}

void CStaticText::SetBold(bool bold) {
    bold_ = bold;
    RebuildFont();
}

void CStaticText::SetUnderline(bool underline) {
    underline_ = underline;
    RebuildFont();
}

void CStaticText::SetAligns(int alignment) {
    alignment_ = alignment;
    Refresh();
}

void CStaticText::SetCursor(HCURSOR cursor) {
    cursor_ = cursor;
    if (GetSafeHwnd() != nullptr && cursor != nullptr) {
        // A static is transparent to the mouse unless it notifies.
        const LONG_PTR style = GetWindowLongPtrW(GetSafeHwnd(), GWL_STYLE);
        SetWindowLongPtrW(GetSafeHwnd(), GWL_STYLE, style | SS_NOTIFY);
    }
}

void CStaticText::RebuildFont() {
    if (GetSafeHwnd() == nullptr) return;
    // Start from the dialog's font so the face (and its character set) stays.
    LOGFONTW face{};
    const auto dialogFont = reinterpret_cast<HFONT>(SendMessageW(GetSafeHwnd(), WM_GETFONT, 0, 0));
    GetObjectW(dialogFont != nullptr ? static_cast<HGDIOBJ>(dialogFont) : GetStockObject(DEFAULT_GUI_FONT),
               sizeof(face), &face);
    if (height_ > 0) face.lfHeight = -height_;
    face.lfWidth = width_;
    face.lfWeight = bold_ ? FW_BOLD : FW_NORMAL;
    face.lfUnderline = underline_ ? TRUE : FALSE;
    font_.reset(CreateFontIndirectW(&face));
    Refresh();
}

void CStaticText::Paint(HDC dc, const RECT& client) {
    const std::wstring text = GetWindowWideText(GetSafeHwnd());
    const auto dialogFont = reinterpret_cast<HFONT>(SendMessageW(GetSafeHwnd(), WM_GETFONT, 0, 0));
    const HGDIOBJ font = font_ ? static_cast<HGDIOBJ>(font_.get())
                               : (dialogFont != nullptr ? static_cast<HGDIOBJ>(dialogFont)
                                                        : GetStockObject(DEFAULT_GUI_FONT));
    SelectedObject selected(dc, font);
    SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, color_);
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    if (alignment_ == kAlignCenter) format |= DT_CENTER;
    if (alignment_ == kAlignRight) format |= DT_RIGHT;
    RECT area = client;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
}

LRESULT CStaticText::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETCURSOR && cursor_ != nullptr) {
        ::SetCursor(cursor_);
        return TRUE;
    }
    return CSkinControl::WindowProc(message, wParam, lParam);
}
