#pragma once
// The look that the update dialog and the notification share over their
// skin pictures: text colours and sizes, the two button faces, how static
// texts are coloured, and the top band that stands in for a caption.
#include "framework/skin/image_button_win.h"

#include <windows.h>

#include <cstdint>

// COLORREF values, 0x00BBGGRR.
constexpr uint32_t kDarkTextColor = 0x333333;          // RGB(51, 51, 51)
constexpr uint32_t kButtonTextColor = kDarkTextColor;  // a button at rest
constexpr uint32_t kButtonActiveTextColor = 0xFFFFFF;  // a button under the mouse or pressed
constexpr uint32_t kTitleTextColor = 0xFEF7E9;         // RGB(233, 247, 254), on the blue band
constexpr uint32_t kNotifyTextColor = 0x663D0D;        // RGB(13, 61, 102)
constexpr int kTextFontSize = 12;

// The rounded face with its own text drawn over it ("立即升级", "关闭", ...).
void ApplyRoundButtonSkin(CImageButtonX& button);
// The small "x" in the title band.
void ApplyCloseButtonSkin(CImageButtonX& button);

// The dialogs' WM_CTLCOLOR rule: static controls draw their text in
// textColor straight over the skin (transparent, no brush); every other kind
// keeps the brush that the skinned base chose.
HBRUSH ColorStaticsOverSkin(HDC dc, UINT kind, HBRUSH baseBrush, COLORREF textColor);

// The skinned dialogs have no caption: their top band, this many pixels
// from the client top, moves the window instead.
constexpr int kTitleBandHeight = 30;

// For a left button press at clientPoint: inside the band, posts the caption
// press that lets the system move the window with the mouse, and returns
// true. The press itself still goes to the default processing afterwards.
bool BeginTitleBandDrag(HWND window, POINT clientPoint);
