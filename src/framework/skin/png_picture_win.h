#pragma once
// A static that shows one PNG picture from the resources, with its alpha
// over the skin. The control takes the picture's size.
#include "framework/skin/png_image_win.h"
#include "framework/skin/skin_control_win.h"

#include <windows.h>

class CPNGPicture : public CSkinControl {
public:
    // Picture from module, or from the program when it is null.
    bool SetPicture(UINT id, HMODULE module = nullptr);
    // The resource id shown, 0 for none.
    UINT PictureId() const { return pictureId_; }

protected:
    void Paint(HDC dc, const RECT& client) override;
    bool SeeThrough() const override { return true; }

private:
    CPngImage picture_;
    UINT pictureId_ = 0;
};
