#include "delta/deflated_stream.h"

#include <zlib.h>

#include <algorithm>
#include <new>

namespace {
constexpr size_t kPendingBlock = 256 * 1024;
constexpr int kBestCompression = 9;
constexpr int kLargestWindow = 15;
constexpr int kMemoryLevel = 8;
// Blocks of nine zero bytes in ten or more (the differences where a file
// barely changed) are searched for matches much further back than level 9
// does: the few changed bytes there repeat in patterns (addresses moved by
// the same amount) that pay for it, by 2-3 % of the whole patch on real
// program builds. Where more bytes changed, that search costs seconds and
// gains a few tenths of a percent.
constexpr int kLevel9Good = 32;
constexpr int kLevel9Chain = 4096;
constexpr int kSparseGood = 16;
constexpr int kSparseChain = 32768;
constexpr int kMaxLazy = 258;
constexpr int kNiceLength = 258;
constexpr size_t kSparseZerosPercent = 90;
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
    const size_t zeros = static_cast<size_t>(std::count(pending_.begin(), pending_.end(), '\0'));
    const bool sparse = zeros * 100 >= pending_.size() * kSparseZerosPercent;
    deflateTune(&z, sparse ? kSparseGood : kLevel9Good, kMaxLazy, kNiceLength, sparse ? kSparseChain : kLevel9Chain);
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
