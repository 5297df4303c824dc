#pragma once
// The patch format (docs/server-tree.md): a fixed header that names the
// base and the result by size and SHA-256 and gives the lengths of three
// zlib streams that follow it back to back: the instructions, the byte
// differences, and the new bytes.
//
// The instructions are LEB128 numbers, each (length << 2 | kind). The
// result is built front to back; the base is read at a position that the
// instructions move:
//   Copy n:   n bytes of the base, unchanged
//   Add n:    n bytes of the base, each plus the next byte of the differences
//   Insert n: the next n new bytes; the base position stays
//   Seek d:   moves the base position by d (zigzag-coded: d >= 0 as 2d, d < 0 as -2d-1)
//
// The rules a patch keeps beyond its syntax (the streams' lengths, the
// instruction sequence, how much of its base it may read) are each defined
// here once. The applier refuses every patch that breaks one, and the maker
// holds to the same rules by applying each patch it made before handing it
// out (patch_maker.h), so a patch it writes is one the updater takes.
#include "crypto/crypto_primitives.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

inline constexpr std::array<uint8_t, 4> kPatchMagic = {'Q', 'P', 'A', 'T'};
inline constexpr uint32_t kPatchVersion = 1;
inline constexpr size_t kPatchHeaderSize = 136;

enum class PatchStream { Instructions, Differences, NewBytes };
inline constexpr size_t kPatchStreamCount = 3;

enum class PatchOp : uint8_t { Copy = 0, Add = 1, Insert = 2, Seek = 3 };

struct PatchStreamLengths {
    uint64_t Compressed = 0;
    uint64_t Decoded = 0;
};

struct PatchHeader {
    uint64_t BaseSize = 0;
    Sha256Digest BaseSha256{};
    uint64_t ResultSize = 0;
    Sha256Digest ResultSha256{};
    std::array<PatchStreamLengths, kPatchStreamCount> Streams{};

    const PatchStreamLengths& Stream(PatchStream stream) const { return Streams[static_cast<size_t>(stream)]; }
    // Where a stream starts in the patch file.
    uint64_t StreamOffset(PatchStream stream) const;
    // Header and streams: the whole patch file.
    uint64_t TotalSize() const;
};

std::array<uint8_t, kPatchHeaderSize> EncodePatchHeader(const PatchHeader& header);

enum class HeaderCheck {
    Valid,
    NotAPatch,     // another magic, another version, or lengths that cannot belong together
    Truncated,     // the bytes end before the header, or the file before its streams
    TrailingBytes  // the file goes on after its last stream
};

// Reads the header from the first bytes of a patch file of fileSize bytes
// (at most kPatchHeaderSize of them given). Lengths are checked against one
// another and against the file: every stream lies inside it, and none
// decodes to more than the result could use.
HeaderCheck DecodePatchHeader(const uint8_t* bytes, size_t count, uint64_t fileSize, PatchHeader& header);

// The longest an instruction takes: ten LEB128 bytes.
inline constexpr size_t kMaxInstructionBytes = 10;

// Appends one instruction; a seek takes its signed distance as a length.
void AppendInstruction(std::string& stream, PatchOp op, uint64_t length);
void AppendSeek(std::string& stream, int64_t distance);

struct Instruction {
    PatchOp Op = PatchOp::Copy;
    uint64_t Length = 0;   // Copy, Add, Insert
    int64_t Distance = 0;  // Seek
};

// Reads one instruction from bytes[0, count); the bytes it took, or nothing
// when they do not hold a whole, well-formed instruction.
std::optional<size_t> ReadInstruction(const uint8_t* bytes, size_t count, Instruction& instruction);

enum class InstructionCheck {
    Valid,
    Malformed,   // a length or a distance of zero, or a seek right after a seek
    LeavesBase,  // a copy, add or seek that would leave the base
    PastResult,  // more bytes than the result has left
};

// The instruction sequence of one patch, taken one instruction at a time:
// where the base is read, how much of the result is made, and whether the
// next instruction is allowed there. A sequence is whole when it has made
// exactly the result's size.
class CInstructionSequence {
public:
    CInstructionSequence(uint64_t baseSize, uint64_t resultSize) : baseSize_(baseSize), resultLeft_(resultSize) {}

    // Where the next copy or add reads the base.
    uint64_t BasePosition() const { return position_; }
    bool Whole() const { return resultLeft_ == 0; }
    // Checks the instruction and, when it is valid, moves past it.
    InstructionCheck Take(const Instruction& instruction);

private:
    uint64_t baseSize_;
    uint64_t resultLeft_;
    uint64_t position_ = 0;
    bool lastWasSeek_ = false;
};

// The most one application may read of its base, besides the one read of
// the whole base that checks its digest: a few times both files and an
// allowance for small ones. A patch made the bsdiff way reads about its
// base once; one written to jump about so that every byte of its result
// costs a fresh read of the base stops here instead of running for hours.
uint64_t MaxBaseReadBytes(uint64_t baseSize, uint64_t resultSize);
