#include "delta/deflated_stream.h"

#include <zlib.h>

#include <new>

namespace {
constexpr size_t kPendingBlock = 256 * 1024;
constexpr int kBestCompression = 9;
constexpr int kLargestWindow = 15;
constexpr int kMemoryLevel = 8;
}  // namespace

struct CDeflatedStream::ZStream {
    z_stream z{};
    ZStream() {
        if (deflateInit2(&z, kBestCompression, Z_DEFLATED, kLargestWindow, kMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::bad_alloc();
    }
    ~ZStream() { deflateEnd(&z); }
};

CDeflatedStream::CDeflatedStream() : z_(std::make_unique<ZStream>()) { pending_.reserve(kPendingBlock); }

CDeflatedStream::~CDeflatedStream() = default;

void CDeflatedStream::Append(const uint8_t* bytes, size_t count) {
    pending_.append(reinterpret_cast<const char*>(bytes), count);
    decoded_ += count;
    if (pending_.size() >= kPendingBlock) Compress(false);
}

const std::string& CDeflatedStream::Finish() {
    Compress(true);
    return compressed_;
}

void CDeflatedStream::Compress(bool last) {
    z_stream& z = z_->z;
    z.next_in = reinterpret_cast<Bytef*>(pending_.data());
    z.avail_in = static_cast<uInt>(pending_.size());
    const int flush = last ? Z_FINISH : Z_NO_FLUSH;
    int status = Z_OK;
    do {
        const size_t before = compressed_.size();
        const size_t room = deflateBound(&z, z.avail_in) + 64;
        compressed_.resize(before + room);
        z.next_out = reinterpret_cast<Bytef*>(compressed_.data() + before);
        z.avail_out = static_cast<uInt>(room);
        status = deflate(&z, flush);
        compressed_.resize(before + room - z.avail_out);
        if (status == Z_MEM_ERROR) throw std::bad_alloc();
    } while (z.avail_in != 0 || (last && status != Z_STREAM_END));
    pending_.clear();
}
