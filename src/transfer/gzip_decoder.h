#pragma once
// A release file that travels gzip-compressed is decoded as it arrives,
// within bounds set before the first byte: it may not grow past the size
// its manifest lists (or a ratio of its compressed size when none is
// listed), the compressed stream may not be longer than listed, and a
// stream that is corrupt or ends early is an error. Nothing past a bound
// ever reaches the output, so a crafted stream (a "gzip bomb") costs no
// more than the file it claims to be.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

// Without a listed size the output may be at most this many times the
// compressed size, and never more than kMaxUnlistedOutput.
constexpr uint64_t kMaxCompressionRatio = 64;
constexpr uint64_t kMaxUnlistedOutput = 4ull << 30;

enum class GzipStatus {
    NeedsMore,       // everything so far is fine; the stream has not ended yet
    Finished,        // the stream ended, its checksum and length verified
    OutputTooLarge,  // the decoded file would pass its bound
    InputTooLarge,   // more compressed bytes than listed
    Corrupt,         // not gzip, damaged, or bytes after the end of the stream
    EndedEarly,      // the input ended before the stream did
    WriteFailed,     // the output refused a block
};

// One decoding, set before its first byte: its bounds, and zlib's window
// bits of the form (16 + 15 for a gzip stream; the forms and their bits are
// the release's, release_vocabulary.h).
struct GzipBounds {
    uint64_t MaxInput = 0;   // the compressed form's listed size
    uint64_t MaxOutput = 0;  // the decoded file's size limit
    int WindowBits = 0;
};

// The output bound for a file: its listed size, or the ratio bound.
uint64_t GzipOutputBound(std::optional<uint64_t> listedSize, uint64_t compressedSize);

class CGzipDecoder {
public:
    // Receives the decoded bytes block by block; false stops the decoding.
    using Sink = std::function<bool(std::string_view block)>;

    CGzipDecoder(const GzipBounds& bounds, Sink sink);
    ~CGzipDecoder();
    CGzipDecoder(const CGzipDecoder&) = delete;
    CGzipDecoder& operator=(const CGzipDecoder&) = delete;

    // Decodes the next compressed bytes. Once a status other than NeedsMore
    // is returned, it is returned again for every later call.
    GzipStatus Feed(std::string_view compressed);
    // The input is over: Finished when the stream ended exactly there.
    GzipStatus Finish();

    uint64_t InputBytes() const { return input_; }
    uint64_t OutputBytes() const { return output_; }

private:
    struct Stream;
    std::unique_ptr<Stream> stream_;
    uint64_t maxInput_;
    uint64_t maxOutput_;
    Sink sink_;
    uint64_t input_ = 0;
    uint64_t output_ = 0;
    GzipStatus status_ = GzipStatus::NeedsMore;
};
