#include "ui/notify_placement.h"

bool IsBottomTaskbar(const ScreenRect& taskbar, const ScreenRect& desktop) {
    // A bottom taskbar is wider than tall, reaches the desktop's bottom edge
    // and starts below its top.
    return taskbar.Width() > taskbar.Height() && taskbar.Bottom >= desktop.Bottom && taskbar.Top > desktop.Top;
}

ScreenPoint PlaceNotification(const ScreenRect* taskbar, const ScreenRect& window, const ScreenRect& desktop,
                              const ScreenRect& workArea) {
    if (taskbar != nullptr && IsBottomTaskbar(*taskbar, desktop)) {
        return {desktop.Width() - kNotifyMargin - window.Width(), taskbar->Top - kNotifyMargin - window.Height()};
    }
    // Without a bottom taskbar the rule above would put the window at the
    // top of the screen or off it; the work area's corner is where such
    // notices are expected.
    return {workArea.Right - kNotifyMargin - window.Width(), workArea.Bottom - kNotifyMargin - window.Height()};
}
