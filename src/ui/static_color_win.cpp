#include "ui/static_color_win.h"

HBRUSH ColorStaticsOverSkin(HDC dc, UINT kind, HBRUSH baseBrush, COLORREF textColor) {
    if (kind != CTLCOLOR_STATIC) return baseBrush;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColor);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}
