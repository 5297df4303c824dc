#pragma once
#include <windows.h>

// The dialogs' WM_CTLCOLOR rule: static controls draw their text in
// textColor straight over the skin (transparent, no brush); every other kind
// keeps the brush that the skinned base chose.
HBRUSH ColorStaticsOverSkin(HDC dc, UINT kind, HBRUSH baseBrush, COLORREF textColor);
