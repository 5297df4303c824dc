#include "framework/skin/gdi_objects_win.h"

BufferedPaint::BufferedPaint(HDC target, int width, int height)
    : target_(target),
      width_(width),
      height_(height),
      dc_(CreateCompatibleDC(target)),
      bitmap_(CreateCompatibleBitmap(target, width > 0 ? width : 1, height > 0 ? height : 1)) {
    if (dc_ && bitmap_) previous_ = SelectObject(dc_.get(), bitmap_.get());
}

BufferedPaint::~BufferedPaint() {
    if (previous_ != nullptr) SelectObject(dc_.get(), previous_);
}

void BufferedPaint::Present() const {
    if (previous_ != nullptr) BitBlt(target_, 0, 0, width_, height_, dc_.get(), 0, 0, SRCCOPY);
}
