#pragma once
// Owners for GDI handles: every font, brush, bitmap and memory DC of the
// skin is released by the object that holds it.
#include "base/unique_any.h"

#include <windows.h>

namespace gdi_close {
inline void Object(HGDIOBJ object) { DeleteObject(object); }
inline void MemoryDc(HDC dc) { DeleteDC(dc); }
}  // namespace gdi_close

template <class Handle>
using GdiObject = unique_any<Handle, &gdi_close::Object>;
using FontHandle = GdiObject<HFONT>;
using BrushHandle = GdiObject<HBRUSH>;
using BitmapHandle = GdiObject<HBITMAP>;
using MemoryDc = unique_any<HDC, &gdi_close::MemoryDc>;

// Selects an object into a DC for one scope and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() { SelectObject(dc_, previous_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// BeginPaint/EndPaint for one WM_PAINT.
class PaintScope {
public:
    explicit PaintScope(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &paint_)) {}
    ~PaintScope() { EndPaint(hwnd_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC Dc() const { return dc_; }

private:
    HWND hwnd_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// An off-screen copy of a window's client area: draw into Dc(), then
// Present() copies it to the target in one go, so nothing flickers.
class BufferedPaint {
public:
    BufferedPaint(HDC target, int width, int height);
    BufferedPaint(const BufferedPaint&) = delete;
    BufferedPaint& operator=(const BufferedPaint&) = delete;
    ~BufferedPaint();
    HDC Dc() const { return dc_.get(); }
    void Present() const;

private:
    HDC target_;
    int width_;
    int height_;
    MemoryDc dc_;
    BitmapHandle bitmap_;
    HGDIOBJ previous_ = nullptr;
};
