#pragma once
// One zlib stream of a patch, decoded on demand from its place in the patch
// file: it must decode to exactly its declared length, using exactly its
// declared compressed bytes. Holds one read block and zlib's state, whatever
// the stream's size.
#include "delta/byte_access.h"
#include "delta/patch_format.h"
#include "delta/patch_result.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CInflatedStream {
public:
    CInflatedStream(CRandomAccessSource& patch, uint64_t offset, const PatchStreamLengths& lengths);
    ~CInflatedStream();
    CInflatedStream(const CInflatedStream&) = delete;
    CInflatedStream& operator=(const CInflatedStream&) = delete;

    // Decoded bytes not read yet.
    uint64_t Remaining() const { return remaining_; }
    // Exactly count bytes (count <= Remaining()), or Damaged / PatchUnreadable.
    PatchResult Read(uint8_t* out, size_t count);
    // Every decoded byte has been read: the stream must end here, with its
    // checksum, at the end of its compressed bytes.
    PatchResult Finish();

private:
    PatchResult Inflate(uint8_t* out, size_t count, bool atEnd);

    struct ZStream;
    std::unique_ptr<ZStream> z_;
    CRandomAccessSource& patch_;
    uint64_t nextRead_;
    uint64_t compressedLeft_;
    uint64_t remaining_;
    std::vector<uint8_t> block_;
};
