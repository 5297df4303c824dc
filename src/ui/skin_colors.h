#pragma once
// Colours and text sizes of the dialogs' skin (COLORREF values, 0x00BBGGRR).
#include <cstdint>

constexpr uint32_t kDarkTextColor = 0x333333;          // RGB(51, 51, 51)
constexpr uint32_t kButtonTextColor = kDarkTextColor;  // a button at rest
constexpr uint32_t kButtonActiveTextColor = 0xFFFFFF;  // a button under the mouse or pressed
constexpr uint32_t kTitleTextColor = 0xFEF7E9;         // RGB(233, 247, 254), on the blue band
constexpr uint32_t kNotifyTextColor = 0x663D0D;        // RGB(13, 61, 102)
constexpr int kTextFontSize = 12;
