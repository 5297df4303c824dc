#pragma once
// The encoding side of patch_format.h: takes the pieces of the result in
// order (unchanged runs, byte differences, new bytes, moves in the base),
// merges neighbours of one kind, and puts the patch file together.
#include "delta/deflated_stream.h"
#include "delta/patch_format.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CPatchWriter {
public:
    void Copy(uint64_t count) { Emit(PatchOp::Copy, count); }
    void Add(const uint8_t* differences, size_t count);
    void Insert(const uint8_t* bytes, size_t count);
    void Seek(int64_t distance);
    // The patch file: the header (its sizes and digests as given) and the streams.
    std::string Finish(PatchHeader header);

private:
    void Emit(PatchOp op, uint64_t count);
    void FlushInstruction();

    CDeflatedStream instructions_;
    CDeflatedStream differences_;
    CDeflatedStream newBytes_;
    std::string encoded_;
    PatchOp pendingOp_ = PatchOp::Copy;
    uint64_t pendingCount_ = 0;
    int64_t pendingSeek_ = 0;
};
