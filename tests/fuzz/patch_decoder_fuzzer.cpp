// The patch applier against arbitrary patches: whatever the bytes (lengths
// that lie, streams that end early or run on, instructions that point
// outside the base), it never hands on more than the result's size and
// never reads outside the base or the patch (the sanitizers watch those).
//
// The base is fixed, and the base size and SHA-256 of the header are set to
// its own, so that the fuzzer gets past the base check into the streams.
// The seeds (patch_corpus/) are patches of this base made by MakePatch.
#include "crypto/crypto_primitives.h"
#include "delta/patch_applier.h"
#include "delta/patch_format.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr uint64_t kLargestResult = 1 << 20;

const std::string& Base() {
    static const std::string base = [] {
        std::string bytes(4096, '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 13);
        return bytes;
    }();
    return base;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string patch(reinterpret_cast<const char*>(data), size);
    PatchHeader header;
    if (size >= kPatchHeaderSize) {
        header.BaseSize = Base().size();
        if (!ComputeSha256(Base(), header.BaseSha256)) std::abort();
        const auto ours = EncodePatchHeader(header);
        std::copy(ours.begin() + 8, ours.begin() + 48, patch.begin() + 8);
        DecodePatchHeader(reinterpret_cast<const uint8_t*>(patch.data()), kPatchHeaderSize, patch.size(), header);
    }
    const ExpectedResult expected{std::min(header.ResultSize, kLargestResult), {}, {}};

    CMemorySource patchSource(patch);
    CMemorySource baseSource(Base());
    CMemorySink sink;
    const PatchResult result = ApplyPatch(patchSource, baseSource, sink, expected);
    if (sink.Bytes().size() > expected.Size) std::abort();
    if (result.Applied() && sink.Bytes().size() != expected.Size) std::abort();
    return 0;
}
