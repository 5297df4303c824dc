#include "framework/skin/png_picture_win.h"

bool CPNGPicture::SetPicture(UINT id, HMODULE module) {
    const bool loaded = picture_.Load(module != nullptr ? module : GetModuleHandleW(nullptr), id);
    pictureId_ = loaded ? id : 0;
    Refresh();  // where the old picture was
    if (loaded) Resize(picture_.Width(), picture_.Height());
    Refresh();
    return loaded;
}

void CPNGPicture::Paint(HDC dc, const RECT&) { picture_.Draw(dc, 0, 0); }
