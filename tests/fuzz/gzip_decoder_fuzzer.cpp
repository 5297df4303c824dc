// The compressed-file decoder against arbitrary input: whatever the bytes,
// it never hands on more than its bound, never reads past its input bound,
// and a stream it calls finished decodes to exactly what it handed on.
#include "transfer/gzip_decoder.h"

#include "manifest/release_vocabulary.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first two bytes choose the bounds and the piece size, so the
    // fuzzer explores cut-offs as well as the streams themselves.
    const uint64_t maxOutput = static_cast<uint64_t>(data[0]) * 97;
    const size_t piece = 1 + data[1] % 64;
    const std::string_view stream(reinterpret_cast<const char*>(data) + 2, size - 2);
    const uint64_t maxInput = stream.size() - (data[1] & 1 ? std::min<size_t>(stream.size(), 3) : 0);

    uint64_t handedOn = 0;
    CGzipDecoder decoder({maxInput, maxOutput, kGzipForm.ZlibWindowBits}, [&](std::string_view block) {
        handedOn += block.size();
        return true;
    });
    GzipStatus status = GzipStatus::NeedsMore;
    for (size_t at = 0; at < stream.size() && status == GzipStatus::NeedsMore; at += piece) {
        status = decoder.Feed(stream.substr(at, piece));
    }
    status = decoder.Finish();
    if (handedOn > maxOutput || decoder.InputBytes() > maxInput) std::abort();
    if (handedOn != decoder.OutputBytes()) std::abort();
    if (status == GzipStatus::Finished && decoder.InputBytes() == 0) std::abort();
    return 0;
}
