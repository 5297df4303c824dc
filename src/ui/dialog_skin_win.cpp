#include "ui/dialog_skin_win.h"

#include "ui/res/resource.h"

void ApplyRoundButtonSkin(CImageButtonX& button) {
    button.SetImage(IDP_BUTTON_NORMAL);
    button.SetOverImage(IDP_BUTTON_HOVER);
    button.SetSelectImage(IDP_BUTTON_PRESSED);
    button.SetTextColor(CImageButtonX::kStateNormal, kButtonTextColor);
    button.SetTextColor(CImageButtonX::kStateHover, kButtonActiveTextColor);
    button.SetTextColor(CImageButtonX::kStatePressed, kButtonActiveTextColor);
    button.SetShowText(true);
}

void ApplyCloseButtonSkin(CImageButtonX& button) {
    button.SetImage(IDP_CLOSE_NORMAL);
    button.SetOverImage(IDP_CLOSE_HOVER);
    button.SetSelectImage(IDP_CLOSE_PRESSED);
}

HBRUSH ColorStaticsOverSkin(HDC dc, UINT kind, HBRUSH baseBrush, COLORREF textColor) {
    if (kind != CTLCOLOR_STATIC) return baseBrush;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColor);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

bool BeginTitleBandDrag(HWND window, POINT clientPoint) {
    if (clientPoint.y >= kTitleBandHeight) return false;
    // WM_NCLBUTTONDOWN carries screen coordinates; the system's move loop
    // starts from them (Wine's moves the window by the difference at once).
    POINT screen = clientPoint;
    ClientToScreen(window, &screen);
    // Posted, not sent: the move loop must not run inside the button handler.
    return PostMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y)) != FALSE;
}
