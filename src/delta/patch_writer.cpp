#include "delta/patch_writer.h"

void CPatchWriter::Add(const uint8_t* differences, size_t count) {
    differences_.Append(differences, count);
    Emit(PatchOp::Add, count);
}

void CPatchWriter::Insert(const uint8_t* bytes, size_t count) {
    newBytes_.Append(bytes, count);
    Emit(PatchOp::Insert, count);
}

// A move is written only before the next piece that reads: moves in a row
// add up, and one at the very end would move nothing.
void CPatchWriter::Seek(int64_t distance) { pendingSeek_ += distance; }

void CPatchWriter::Emit(PatchOp op, uint64_t count) {
    if (count == 0) return;
    if (pendingSeek_ != 0 || op != pendingOp_) FlushInstruction();
    if (pendingSeek_ != 0) {
        AppendSeek(encoded_, pendingSeek_);
        pendingSeek_ = 0;
    }
    pendingOp_ = op;
    pendingCount_ += count;
}

void CPatchWriter::FlushInstruction() {
    if (pendingCount_ > 0) AppendInstruction(encoded_, pendingOp_, pendingCount_);
    pendingCount_ = 0;
    instructions_.Append(encoded_);
    encoded_.clear();
}

std::string CPatchWriter::Finish(PatchHeader header) {
    FlushInstruction();
    CDeflatedStream* streams[kPatchStreamCount] = {&instructions_, &differences_, &newBytes_};
    const std::string* compressed[kPatchStreamCount] = {};
    for (size_t i = 0; i < kPatchStreamCount; ++i) {
        compressed[i] = &streams[i]->Finish();
        header.Streams[i] = {compressed[i]->size(), streams[i]->DecodedBytes()};
    }
    const auto encodedHeader = EncodePatchHeader(header);
    std::string patch;
    patch.reserve(header.TotalSize());
    patch.assign(encodedHeader.begin(), encodedHeader.end());
    for (const std::string* stream : compressed) patch += *stream;
    return patch;
}
