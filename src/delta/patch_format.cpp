#include "delta/patch_format.h"

#include <algorithm>
#include <limits>

namespace {

constexpr size_t kVersionOffset = 4;
constexpr size_t kBaseSizeOffset = 8;
constexpr size_t kBaseShaOffset = 16;
constexpr size_t kResultSizeOffset = 48;
constexpr size_t kResultShaOffset = 56;
constexpr size_t kStreamsOffset = 88;
constexpr size_t kStreamEntrySize = 16;
static_assert(kStreamsOffset + kPatchStreamCount * kStreamEntrySize == kPatchHeaderSize);

constexpr uint64_t kMaxUint64 = std::numeric_limits<uint64_t>::max();

void PutLittleEndian(uint8_t* at, uint64_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t GetLittleEndian(const uint8_t* at, size_t bytes) {
    uint64_t value = 0;
    for (size_t i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(at[i]) << (8 * i);
    return value;
}

void AppendNumber(std::string& stream, uint64_t value) {
    while (value >= 0x80) {
        stream += static_cast<char>(0x80 | (value & 0x7F));
        value >>= 7;
    }
    stream += static_cast<char>(value);
}

// The most a stream can decode to in a patch whose result has resultSize
// bytes: every byte of the differences and of the new bytes goes into the
// result once, and every instruction but a seek produces at least one
// byte, with at most one seek before each.
uint64_t MaxDecodedLength(PatchStream stream, uint64_t resultSize) {
    if (stream != PatchStream::Instructions) return resultSize;
    if (resultSize > kMaxUint64 / (2 * kMaxInstructionBytes) - 1) return kMaxUint64;
    return (2 * resultSize + 1) * kMaxInstructionBytes;
}

}  // namespace

uint64_t PatchHeader::StreamOffset(PatchStream stream) const {
    uint64_t offset = kPatchHeaderSize;
    for (size_t i = 0; i < static_cast<size_t>(stream); ++i) offset += Streams[i].Compressed;
    return offset;
}

uint64_t PatchHeader::TotalSize() const { return StreamOffset(PatchStream::NewBytes) + Stream(PatchStream::NewBytes).Compressed; }

std::array<uint8_t, kPatchHeaderSize> EncodePatchHeader(const PatchHeader& header) {
    std::array<uint8_t, kPatchHeaderSize> bytes{};
    std::copy(kPatchMagic.begin(), kPatchMagic.end(), bytes.begin());
    PutLittleEndian(&bytes[kVersionOffset], kPatchVersion, 4);
    PutLittleEndian(&bytes[kBaseSizeOffset], header.BaseSize, 8);
    std::copy(header.BaseSha256.begin(), header.BaseSha256.end(), &bytes[kBaseShaOffset]);
    PutLittleEndian(&bytes[kResultSizeOffset], header.ResultSize, 8);
    std::copy(header.ResultSha256.begin(), header.ResultSha256.end(), &bytes[kResultShaOffset]);
    for (size_t i = 0; i < kPatchStreamCount; ++i) {
        uint8_t* entry = &bytes[kStreamsOffset + i * kStreamEntrySize];
        PutLittleEndian(entry, header.Streams[i].Compressed, 8);
        PutLittleEndian(entry + 8, header.Streams[i].Decoded, 8);
    }
    return bytes;
}

HeaderCheck DecodePatchHeader(const uint8_t* bytes, size_t count, uint64_t fileSize, PatchHeader& header) {
    const size_t magicBytes = std::min(count, kPatchMagic.size());
    if (!std::equal(bytes, bytes + magicBytes, kPatchMagic.begin())) return HeaderCheck::NotAPatch;
    if (count < kPatchHeaderSize || fileSize < kPatchHeaderSize) return HeaderCheck::Truncated;
    if (GetLittleEndian(&bytes[kVersionOffset], 4) != kPatchVersion) return HeaderCheck::NotAPatch;

    header.BaseSize = GetLittleEndian(&bytes[kBaseSizeOffset], 8);
    std::copy_n(&bytes[kBaseShaOffset], header.BaseSha256.size(), header.BaseSha256.begin());
    header.ResultSize = GetLittleEndian(&bytes[kResultSizeOffset], 8);
    std::copy_n(&bytes[kResultShaOffset], header.ResultSha256.size(), header.ResultSha256.begin());
    uint64_t total = kPatchHeaderSize;
    for (size_t i = 0; i < kPatchStreamCount; ++i) {
        const uint8_t* entry = &bytes[kStreamsOffset + i * kStreamEntrySize];
        PatchStreamLengths& lengths = header.Streams[i];
        lengths.Compressed = GetLittleEndian(entry, 8);
        lengths.Decoded = GetLittleEndian(entry + 8, 8);
        // An empty zlib stream still has its own header and checksum.
        if (lengths.Compressed == 0 || lengths.Decoded > MaxDecodedLength(static_cast<PatchStream>(i), header.ResultSize))
            return HeaderCheck::NotAPatch;
        if (lengths.Compressed > kMaxUint64 - total) return HeaderCheck::NotAPatch;
        total += lengths.Compressed;
    }
    if (total > fileSize) return HeaderCheck::Truncated;
    if (total < fileSize) return HeaderCheck::TrailingBytes;
    return HeaderCheck::Valid;
}

void AppendInstruction(std::string& stream, PatchOp op, uint64_t length) {
    AppendNumber(stream, length << 2 | static_cast<uint64_t>(op));
}

void AppendSeek(std::string& stream, int64_t distance) {
    const uint64_t zigzag = distance >= 0 ? static_cast<uint64_t>(distance) << 1
                                          : (static_cast<uint64_t>(-(distance + 1)) << 1) | 1;
    AppendInstruction(stream, PatchOp::Seek, zigzag);
}

std::optional<size_t> ReadInstruction(const uint8_t* bytes, size_t count, Instruction& instruction) {
    uint64_t value = 0;
    size_t used = 0;
    for (;; ++used) {
        if (used == count || used == kMaxInstructionBytes) return std::nullopt;
        const uint64_t digits = bytes[used] & 0x7F;
        // The tenth byte holds only the top bit of 64.
        if (used == kMaxInstructionBytes - 1 && digits > 1) return std::nullopt;
        value |= digits << (7 * used);
        if ((bytes[used] & 0x80) == 0) break;
    }
    ++used;
    instruction.Op = static_cast<PatchOp>(value & 3);
    const uint64_t length = value >> 2;
    instruction.Length = length;
    instruction.Distance = 0;
    if (instruction.Op == PatchOp::Seek) {
        // length < 2^62, so both halves fit in int64_t.
        instruction.Distance = (length & 1) ? -static_cast<int64_t>(length >> 1) - 1 : static_cast<int64_t>(length >> 1);
        instruction.Length = 0;
    }
    return used;
}

InstructionCheck CInstructionSequence::Take(const Instruction& instruction) {
    if (instruction.Op == PatchOp::Seek) {
        const int64_t distance = instruction.Distance;
        // Two seeks in a row would be one; MaxDecodedLength counts on it.
        if (distance == 0 || lastWasSeek_) return InstructionCheck::Malformed;
        const bool inside = distance > 0 ? static_cast<uint64_t>(distance) <= baseSize_ - position_
                                         : static_cast<uint64_t>(-(distance + 1)) < position_;
        if (!inside) return InstructionCheck::LeavesBase;
        position_ += static_cast<uint64_t>(distance);
        lastWasSeek_ = true;
        return InstructionCheck::Valid;
    }
    if (instruction.Length == 0) return InstructionCheck::Malformed;
    if (instruction.Length > resultLeft_) return InstructionCheck::PastResult;
    if (instruction.Op != PatchOp::Insert) {
        if (instruction.Length > baseSize_ - position_) return InstructionCheck::LeavesBase;
        position_ += instruction.Length;
    }
    resultLeft_ -= instruction.Length;
    lastWasSeek_ = false;
    return InstructionCheck::Valid;
}

uint64_t MaxBaseReadBytes(uint64_t baseSize, uint64_t resultSize) {
    constexpr uint64_t kAllowance = 64ull << 20;
    constexpr uint64_t kTimesBothFiles = 4;
    const uint64_t limit = (kMaxUint64 - kAllowance) / kTimesBothFiles;
    if (baseSize > limit || resultSize > limit - baseSize) return kMaxUint64;
    return kTimesBothFiles * (baseSize + resultSize) + kAllowance;
}
