#pragma once
// Where the new-version notification goes: just above a bottom taskbar at
// the right edge of the screen, otherwise in the bottom right corner of the
// work area.
#include <cstdint>

struct ScreenRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    int32_t Width() const { return Right - Left; }
    int32_t Height() const { return Bottom - Top; }
};

struct ScreenPoint {
    int32_t X = 0;
    int32_t Y = 0;
};

// The gap between the window and the screen's edge or the taskbar.
constexpr int32_t kNotifyMargin = 5;

// True when the taskbar runs along the bottom edge of the desktop.
bool IsBottomTaskbar(const ScreenRect& taskbar, const ScreenRect& desktop);

// The new top-left corner of window. taskbar is null when there is none.
ScreenPoint PlaceNotification(const ScreenRect* taskbar, const ScreenRect& window, const ScreenRect& desktop,
                              const ScreenRect& workArea);
