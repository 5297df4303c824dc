#include "framework/skin/png_image_win.h"

#include "base/unique_any.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cstring>

namespace {
// GDI+ is started once per process, on first use, and shut down when the
// process's statics go.
class GdiPlusSession {
public:
    GdiPlusSession() {
        Gdiplus::GdiplusStartupInput input;
        started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiPlusSession() {
        if (started_) Gdiplus::GdiplusShutdown(token_);
    }
    GdiPlusSession(const GdiPlusSession&) = delete;
    GdiPlusSession& operator=(const GdiPlusSession&) = delete;
    bool Started() const { return started_; }

private:
    ULONG_PTR token_ = 0;
    bool started_ = false;
};

bool EnsureGdiPlus() {
    static GdiPlusSession session;
    return session.Started();
}

void ReleaseStream(IStream* stream) { stream->Release(); }
using UniqueStream = unique_any<IStream*, &ReleaseStream>;
void FreeGlobalMemory(HGLOBAL memory) { GlobalFree(memory); }
using UniqueGlobalMemory = unique_any<HGLOBAL, &FreeGlobalMemory>;

const void* FindResourceBytes(HMODULE module, UINT id, DWORD& size) {
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (resource == nullptr) resource = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (resource == nullptr) return nullptr;
    size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    return loaded == nullptr ? nullptr : LockResource(loaded);
}

// The decoded picture copied into a bitmap of its own, premultiplied for
// blending: a bitmap made from a stream needs that stream for its whole life.
std::unique_ptr<Gdiplus::Bitmap> Decode(const void* bytes, DWORD size) {
    UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!memory) return nullptr;
    void* target = GlobalLock(memory.get());
    if (target == nullptr) return nullptr;
    std::memcpy(target, bytes, size);
    GlobalUnlock(memory.get());
    UniqueStream stream;
    if (FAILED(CreateStreamOnHGlobal(memory.get(), TRUE, stream.put()))) return nullptr;
    memory.release();  // the stream frees it now
    std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromStream(stream.get()));
    if (!decoded || decoded->GetLastStatus() != Gdiplus::Ok) return nullptr;
    const int width = static_cast<int>(decoded->GetWidth());
    const int height = static_cast<int>(decoded->GetHeight());
    auto copy = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppPARGB);
    if (copy->GetLastStatus() != Gdiplus::Ok) return nullptr;
    Gdiplus::Graphics graphics(copy.get());
    graphics.DrawImage(decoded.get(), 0, 0, width, height);
    return copy;
}
}  // namespace

CPngImage::CPngImage() = default;
CPngImage::~CPngImage() = default;

bool CPngImage::Load(HMODULE module, UINT id) {
    bitmap_.reset();
    if (!EnsureGdiPlus()) return false;
    DWORD size = 0;
    const void* bytes = FindResourceBytes(module, id, size);
    if (bytes == nullptr || size == 0) return false;
    bitmap_ = Decode(bytes, size);
    return bitmap_ != nullptr;
}

int CPngImage::Width() const { return bitmap_ ? static_cast<int>(bitmap_->GetWidth()) : 0; }
int CPngImage::Height() const { return bitmap_ ? static_cast<int>(bitmap_->GetHeight()) : 0; }

void CPngImage::Draw(HDC dc, int x, int y) const {
    if (!bitmap_) return;
    Gdiplus::Graphics graphics(dc);
    graphics.DrawImage(bitmap_.get(), x, y, Width(), Height());
}

void CPngImage::DrawStretched(HDC dc, const RECT& target) const {
    if (!bitmap_) return;
    Gdiplus::Graphics graphics(dc);
    graphics.DrawImage(bitmap_.get(), static_cast<INT>(target.left), static_cast<INT>(target.top),
                       static_cast<INT>(target.right - target.left), static_cast<INT>(target.bottom - target.top));
}
