#pragma once
// A static text drawn transparently over the skin with its own font size,
// weight, underline, colour, alignment and mouse cursor.
#include "framework/skin/gdi_objects_win.h"
#include "framework/skin/skin_control_win.h"

#include <windows.h>

class CStaticText : public CSkinControl {
public:
    // Alignment codes of SetAligns.
    static constexpr int kAlignLeft = 0;
    static constexpr int kAlignCenter = 1;
    static constexpr int kAlignRight = 2;

    // Character height in pixels; width 0 keeps the face's own proportions.
    void SetFontSize(int height, int width);
    void SetTextColor(COLORREF color);
    void SetBold(bool bold);
    void SetUnderline(bool underline);
    void SetAligns(int alignment);
    // The cursor shown over the text (a shared cursor such as IDC_HAND);
    // null keeps the parent's.
    void SetCursor(HCURSOR cursor);

    COLORREF TextColor() const { return color_; }
    bool IsBold() const { return bold_; }
    bool IsUnderlined() const { return underline_; }

protected:
    void Paint(HDC dc, const RECT& client) override;
    bool SeeThrough() const override { return true; }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void RebuildFont();

    FontHandle font_;
    int height_ = 0;  // 0: the dialog's font as it is
    int width_ = 0;
    bool bold_ = false;
    bool underline_ = false;
    COLORREF color_ = RGB(0, 0, 0);
    int alignment_ = kAlignLeft;
    HCURSOR cursor_ = nullptr;
};
