#pragma once
// The two button faces that both dialogs share.
#include "framework/skin/image_button_win.h"

// The rounded face with its own text drawn over it ("立即升级", "关闭", ...).
void ApplyRoundButtonSkin(CImageButtonX& button);
// The small "x" in the title band.
void ApplyCloseButtonSkin(CImageButtonX& button);
