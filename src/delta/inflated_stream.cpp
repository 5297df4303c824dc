#include "delta/inflated_stream.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace {
constexpr size_t kReadBlock = 64 * 1024;
constexpr uInt kMaxZlibCount = std::numeric_limits<uInt>::max();
}  // namespace

struct CInflatedStream::ZStream {
    z_stream z{};
    bool ready = false;
    ZStream() { ready = inflateInit(&z) == Z_OK; }
    ~ZStream() {
        if (ready) inflateEnd(&z);
    }
};

CInflatedStream::CInflatedStream(CRandomAccessSource& patch, uint64_t offset, const PatchStreamLengths& lengths)
    : z_(std::make_unique<ZStream>()),
      patch_(patch),
      nextRead_(offset),
      compressedLeft_(lengths.Compressed),
      remaining_(lengths.Decoded),
      block_(static_cast<size_t>(std::min<uint64_t>(kReadBlock, lengths.Compressed))) {}

CInflatedStream::~CInflatedStream() = default;

PatchResult CInflatedStream::Read(uint8_t* out, size_t count) {
    if (count > remaining_) return {PatchStatus::Damaged};
    if (count == 0) return {};
    const PatchResult result = Inflate(out, count, false);
    if (result.Applied()) remaining_ -= count;
    return result;
}

PatchResult CInflatedStream::Finish() {
    if (remaining_ != 0) return {PatchStatus::Damaged};
    // Room for one byte: a stream that still has one is longer than declared.
    uint8_t spare = 0;
    return Inflate(&spare, 1, true);
}

// Fills out[0, count) (atEnd: expects the stream's end instead, with
// nothing more to give).
PatchResult CInflatedStream::Inflate(uint8_t* out, size_t count, bool atEnd) {
    z_stream& z = z_->z;
    if (!z_->ready) return {PatchStatus::Damaged};
    while (true) {
        if (z.avail_in == 0 && compressedLeft_ > 0) {
            const size_t chunk = static_cast<size_t>(std::min<uint64_t>(block_.size(), compressedLeft_));
            if (const Status read = patch_.ReadAt(nextRead_, block_.data(), chunk); !read)
                return {PatchStatus::PatchUnreadable, read.Why()};
            nextRead_ += chunk;
            compressedLeft_ -= chunk;
            z.next_in = block_.data();
            z.avail_in = static_cast<uInt>(chunk);
        }
        const uInt step = static_cast<uInt>(std::min<size_t>(count, kMaxZlibCount));
        z.next_out = out;
        z.avail_out = step;
        const int status = inflate(&z, Z_NO_FLUSH);
        const size_t produced = step - z.avail_out;
        const bool inputSpent = z.avail_in == 0 && compressedLeft_ == 0;
        if (atEnd) {
            if (produced != 0) return {PatchStatus::Damaged};
            // The stream's end must also be the end of its compressed bytes.
            if (status == Z_STREAM_END) return {inputSpent ? PatchStatus::Applied : PatchStatus::Damaged};
        } else {
            out += produced;
            count -= produced;
            if (count == 0) return {};
            if (status == Z_STREAM_END) return {PatchStatus::Damaged};  // shorter than declared
        }
        if (status != Z_OK && status != Z_BUF_ERROR) return {PatchStatus::Damaged};
        // Out of compressed bytes with output still owed, or no way forward.
        if (inputSpent || (status == Z_BUF_ERROR && z.avail_in != 0)) return {PatchStatus::Damaged};
    }
}
