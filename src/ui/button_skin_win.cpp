#include "ui/button_skin_win.h"

#include "ui/res/resource.h"
#include "ui/skin_colors.h"

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
