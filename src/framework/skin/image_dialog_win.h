#pragma once
// A dialog whose whole face is a picture from the resources; its skinned
// controls paint themselves over it.
#include "framework/skin/png_image_win.h"
#include "framework/dialog_win.h"

#include <windows.h>

class CImageDialog : public CDialog {
public:
    // The picture kind of SetBackPicture: a "PNG"/RCDATA resource. Other
    // kinds are refused.
    static constexpr int kPngPicture = 2;

    explicit CImageDialog(UINT templateId, HWND parent = nullptr);
    ~CImageDialog() override;

    // Loads the background from module, or from the dialog's resource module
    // when null. The window then takes the picture's size unless stretch is set, in
    // which case the picture is stretched over the window as it is.
    bool SetBackPicture(int kind, UINT id, HMODULE module, bool stretch);

    static const CMessageMap* GetThisMessageMap();
    const CMessageMap* GetMessageMap() const override;

protected:
    // Statics and the dialog itself let the background show through; other
    // controls get the system's brushes.
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind);

private:
    void FitToBackground() const;
    LRESULT OnEraseBackground(WPARAM wParam, LPARAM lParam);

    CPngImage background_;
    bool stretch_ = false;
};
