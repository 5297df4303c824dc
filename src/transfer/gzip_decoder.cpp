#include "transfer/gzip_decoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>

namespace {
constexpr size_t kBlockSize = 64 * 1024;
}  // namespace

struct CGzipDecoder::Stream {
    z_stream z{};
    bool ready = false;
    std::array<char, kBlockSize> block{};

    explicit Stream(int windowBits) { ready = inflateInit2(&z, windowBits) == Z_OK; }
    ~Stream() {
        if (ready) inflateEnd(&z);
    }
};

uint64_t GzipOutputBound(std::optional<uint64_t> listedSize, uint64_t compressedSize) {
    if (listedSize) return *listedSize;
    const uint64_t ratio =
        compressedSize > kMaxUnlistedOutput / kMaxCompressionRatio ? kMaxUnlistedOutput : compressedSize * kMaxCompressionRatio;
    return std::min(ratio, kMaxUnlistedOutput);
}

CGzipDecoder::CGzipDecoder(const GzipBounds& bounds, Sink sink)
    : stream_(std::make_unique<Stream>(bounds.WindowBits)),
      maxInput_(bounds.MaxInput),
      maxOutput_(bounds.MaxOutput),
      sink_(std::move(sink)) {
    if (!stream_->ready) status_ = GzipStatus::Corrupt;
}

CGzipDecoder::~CGzipDecoder() = default;

GzipStatus CGzipDecoder::Feed(std::string_view compressed) {
    if (status_ == GzipStatus::Finished && !compressed.empty()) status_ = GzipStatus::Corrupt;  // bytes after the end
    if (status_ != GzipStatus::NeedsMore) return status_;
    if (compressed.size() > maxInput_ - input_) return status_ = GzipStatus::InputTooLarge;
    input_ += compressed.size();

    z_stream& z = stream_->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    z.avail_in = static_cast<uInt>(compressed.size());
    while (true) {
        z.next_out = reinterpret_cast<Bytef*>(stream_->block.data());
        z.avail_out = static_cast<uInt>(stream_->block.size());
        const int result = inflate(&z, Z_NO_FLUSH);
        const size_t produced = stream_->block.size() - z.avail_out;
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) return status_ = GzipStatus::Corrupt;
        if (produced > maxOutput_ - output_) return status_ = GzipStatus::OutputTooLarge;
        if (produced > 0) {
            if (!sink_(std::string_view(stream_->block.data(), produced))) return status_ = GzipStatus::WriteFailed;
            output_ += produced;
        }
        if (result == Z_STREAM_END) {
            // One gzip member is the whole file: anything behind it is not ours.
            return status_ = z.avail_in == 0 ? GzipStatus::Finished : GzipStatus::Corrupt;
        }
        // A block filled to the brim may leave output inside zlib: go round
        // again until the input is used up and the block has room to spare.
        if (z.avail_in == 0 && z.avail_out != 0) return status_;
        // With input and a whole empty block zlib always moves on; when it
        // does not, the stream is not one it can read.
        if (result == Z_BUF_ERROR && produced == 0) return status_ = GzipStatus::Corrupt;
    }
}

GzipStatus CGzipDecoder::Finish() {
    if (status_ == GzipStatus::NeedsMore) status_ = GzipStatus::EndedEarly;
    return status_;
}
