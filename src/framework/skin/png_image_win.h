#pragma once
// A PNG picture from the program's resources ("PNG" or RCDATA), kept with
// its alpha channel and drawn through GDI+.
#include <windows.h>

#include <memory>

namespace Gdiplus {
class Bitmap;
}

class CPngImage {
public:
    CPngImage();
    ~CPngImage();
    CPngImage(const CPngImage&) = delete;
    CPngImage& operator=(const CPngImage&) = delete;

    // Replaces the picture; false (and no picture) when the resource is
    // missing or not a picture.
    bool Load(HMODULE module, UINT id);
    bool IsLoaded() const { return bitmap_ != nullptr; }
    int Width() const;
    int Height() const;
    // Blends the picture at its own size onto dc at (x, y).
    void Draw(HDC dc, int x, int y) const;
    void DrawStretched(HDC dc, const RECT& target) const;

private:
    std::unique_ptr<Gdiplus::Bitmap> bitmap_;
};
