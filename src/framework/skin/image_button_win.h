#pragma once
// A push button drawn from three pictures (normal, mouse over, pressed),
// optionally with its own text centred over the picture in a colour per state.
// The button takes the size of its normal picture.
#include "framework/skin/png_image_win.h"
#include "framework/skin/skin_control_win.h"

#include <windows.h>

#include <array>

class CImageButtonX : public CSkinControl {
public:
    // Button states for SetTextColor.
    static constexpr int kStateNormal = 1;
    static constexpr int kStateHover = 2;
    static constexpr int kStatePressed = 3;

    // Pictures come from module, or from the program when it is null.
    bool SetImage(UINT id, HMODULE module = nullptr);
    bool SetOverImage(UINT id, HMODULE module = nullptr);
    bool SetSelectImage(UINT id, HMODULE module = nullptr);
    void SetTextColor(int state, COLORREF color);
    void SetShowText(bool show);

    int CurrentState() const;

protected:
    void OnAttached() override;
    void Paint(HDC dc, const RECT& client) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    const CPngImage& FaceFor(int state) const;

    std::array<CPngImage, 3> faces_;  // by state - 1
    std::array<COLORREF, 3> textColors_{RGB(0, 0, 0), RGB(0, 0, 0), RGB(0, 0, 0)};
    bool showText_ = false;
    bool hover_ = false;
    bool pressed_ = false;
};
