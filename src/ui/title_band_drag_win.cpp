#include "ui/title_band_drag_win.h"

bool BeginTitleBandDrag(HWND window, POINT clientPoint) {
    if (clientPoint.y >= kTitleBandHeight) return false;
    // WM_NCLBUTTONDOWN carries screen coordinates; the system's move loop
    // starts from them (Wine's moves the window by the difference at once).
    POINT screen = clientPoint;
    ClientToScreen(window, &screen);
    // Posted, not sent: the move loop must not run inside the button handler.
    return PostMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y)) != FALSE;
}
