#include "delta/patch_applier.h"

#include "base/number_text.h"
#include "base/text_rules.h"
#include "crypto/md5_digest.h"
#include "crypto/sha256_stream.h"
#include "delta/base_page_cache.h"
#include "delta/inflated_stream.h"
#include "delta/patch_format.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// Result blocks, difference blocks and the blocks of the base's digest: large
// enough that a read or write costs little per byte, small enough for any memory.
constexpr size_t kBlockSize = 256 * 1024;
constexpr size_t kInstructionBlock = 4096;

const PatchResult kApplied{};
const PatchResult kDamaged{PatchStatus::Damaged};

// The result as it is made: gathered into blocks for the sink and hashed on
// the way (the instruction sequence keeps it within its size).
class CResultWriter {
public:
    CResultWriter(CByteSink& sink, bool withMd5)
        : sink_(sink), block_(kBlockSize), md5_(withMd5 ? std::optional<Md5Digest>(std::in_place) : std::nullopt) {}

    // Room for the next bytes: at most want, at least one while want > 0.
    PatchResult Room(size_t want, uint8_t*& at, size_t& room) {
        if (used_ == block_.size()) {
            if (PatchResult flushed = Flush(); !flushed.Applied()) return flushed;
        }
        at = block_.data() + used_;
        room = std::min(want, block_.size() - used_);
        return kApplied;
    }
    // The next count bytes of the room are the result's.
    void Took(size_t count) { used_ += count; }
    PatchResult Flush() {
        sha256_.Update(block_.data(), used_);
        if (md5_) md5_->Update(block_.data(), used_);
        const Status written = sink_.Write(block_.data(), used_);
        used_ = 0;
        if (!written) return {PatchStatus::ResultUnwritable, written.Why()};
        return kApplied;
    }
    bool FinishSha256(Sha256Digest& digest) { return sha256_.Finish(digest); }
    std::string Md5() { return md5_ ? LowerHex(md5_->Finish().data(), 16) : std::string(); }

private:
    CByteSink& sink_;
    std::vector<uint8_t> block_;
    size_t used_ = 0;
    Sha256Stream sha256_;
    std::optional<Md5Digest> md5_;
};

// The instruction stream, read a small block at a time.
class CInstructionReader {
public:
    explicit CInstructionReader(CInflatedStream& stream) : stream_(stream) {}

    bool AtEnd() const { return next_ == filled_ && stream_.Remaining() == 0; }
    PatchResult Next(Instruction& instruction) {
        if (filled_ - next_ < kMaxInstructionBytes && stream_.Remaining() > 0) {
            std::memmove(bytes_.data(), bytes_.data() + next_, filled_ - next_);
            filled_ -= next_;
            next_ = 0;
            const size_t more = static_cast<size_t>(std::min<uint64_t>(bytes_.size() - filled_, stream_.Remaining()));
            if (PatchResult read = stream_.Read(bytes_.data() + filled_, more); !read.Applied()) return read;
            filled_ += more;
        }
        const std::optional<size_t> used = ReadInstruction(bytes_.data() + next_, filled_ - next_, instruction);
        if (!used) return kDamaged;
        next_ += *used;
        return kApplied;
    }

private:
    CInflatedStream& stream_;
    std::array<uint8_t, kInstructionBlock> bytes_{};
    size_t next_ = 0;
    size_t filled_ = 0;
};

// One application: the three streams side by side, the instructions held
// to the format's rules, the base's pages and the result.
class CPatchRun {
public:
    CPatchRun(CRandomAccessSource& patch, CRandomAccessSource& base, const PatchHeader& header, CResultWriter& result)
        : instructionStream_(patch, header.StreamOffset(PatchStream::Instructions), header.Stream(PatchStream::Instructions)),
          differences_(patch, header.StreamOffset(PatchStream::Differences), header.Stream(PatchStream::Differences)),
          newBytes_(patch, header.StreamOffset(PatchStream::NewBytes), header.Stream(PatchStream::NewBytes)),
          instructions_(instructionStream_),
          sequence_(header.BaseSize, header.ResultSize),
          base_(base, MaxBaseReadBytes(header.BaseSize, header.ResultSize)),
          result_(result),
          scratch_(kBlockSize) {}

    PatchResult Run() {
        while (!instructions_.AtEnd()) {
            Instruction instruction;
            if (PatchResult read = instructions_.Next(instruction); !read.Applied()) return read;
            if (PatchResult done = Execute(instruction); !done.Applied()) return done;
        }
        if (!sequence_.Whole()) return kDamaged;  // the instructions ended before the result
        for (CInflatedStream* stream : {&instructionStream_, &differences_, &newBytes_}) {
            if (PatchResult finished = stream->Finish(); !finished.Applied()) return finished;
        }
        return result_.Flush();
    }

private:
    PatchResult Execute(const Instruction& instruction) {
        uint64_t from = sequence_.BasePosition();
        switch (sequence_.Take(instruction)) {
        case InstructionCheck::Valid: break;
        case InstructionCheck::PastResult: return {PatchStatus::ExceedsSize};
        case InstructionCheck::Malformed:
        case InstructionCheck::LeavesBase: return kDamaged;
        }
        if (instruction.Op == PatchOp::Seek) return kApplied;
        for (uint64_t left = instruction.Length; left > 0;) {
            uint8_t* at = nullptr;
            size_t count = 0;
            if (PatchResult room = result_.Room(static_cast<size_t>(std::min<uint64_t>(left, kBlockSize)), at, count);
                !room.Applied())
                return room;
            if (PatchResult made = Produce(instruction.Op, from, at, count); !made.Applied()) return made;
            result_.Took(count);
            if (instruction.Op != PatchOp::Insert) from += count;
            left -= count;
        }
        return kApplied;
    }

    // count bytes of one instruction into out; a copy or add reads the base at from.
    PatchResult Produce(PatchOp op, uint64_t from, uint8_t* out, size_t count) {
        if (op == PatchOp::Insert) return newBytes_.Read(out, count);
        if (PatchResult read = base_.Read(from, out, count); !read.Applied()) return read;
        if (op == PatchOp::Copy) return kApplied;
        if (PatchResult read = differences_.Read(scratch_.data(), count); !read.Applied()) return read;
        for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(out[i] + scratch_[i]);
        return kApplied;
    }

    CInflatedStream instructionStream_;
    CInflatedStream differences_;
    CInflatedStream newBytes_;
    CInstructionReader instructions_;
    CInstructionSequence sequence_;
    CBasePageCache base_;
    CResultWriter& result_;
    std::vector<uint8_t> scratch_;
};

PatchResult ReadHeader(CRandomAccessSource& patch, PatchHeader& header) {
    std::array<uint8_t, kPatchHeaderSize> bytes{};
    const size_t count = static_cast<size_t>(std::min<uint64_t>(patch.Size(), bytes.size()));
    if (const Status read = patch.ReadAt(0, bytes.data(), count); !read)
        return {PatchStatus::PatchUnreadable, read.Why()};
    switch (DecodePatchHeader(bytes.data(), count, patch.Size(), header)) {
    case HeaderCheck::Valid: return kApplied;
    case HeaderCheck::Truncated: return {PatchStatus::Truncated};
    case HeaderCheck::NotAPatch:
    case HeaderCheck::TrailingBytes: break;
    }
    return kDamaged;
}

// The base, read whole, is the one the patch names.
PatchResult CheckBase(CRandomAccessSource& base, const PatchHeader& header) {
    if (base.Size() != header.BaseSize) return {PatchStatus::BaseMismatch};
    Sha256Stream sha256;
    std::vector<uint8_t> block(kBlockSize);
    for (uint64_t offset = 0; offset < header.BaseSize;) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(block.size(), header.BaseSize - offset));
        if (const Status read = base.ReadAt(offset, block.data(), count); !read)
            return {PatchStatus::BaseUnreadable, read.Why()};
        sha256.Update(block.data(), count);
        offset += count;
    }
    Sha256Digest digest{};
    if (!sha256.Finish(digest)) return {PatchStatus::BaseUnreadable, {FailureKind::LocalIo, 0, 0, "SHA-256 unavailable"}};
    return {digest == header.BaseSha256 ? PatchStatus::Applied : PatchStatus::BaseMismatch};
}

}  // namespace

PatchResult ApplyPatch(CRandomAccessSource& patch, CRandomAccessSource& base, CByteSink& result,
                       const ExpectedResult& expected) {
    PatchHeader header;
    if (PatchResult read = ReadHeader(patch, header); !read.Applied()) return read;
    // A patch for a larger file stops before its first byte; one for
    // another file of the right size, as soon as its header says so.
    if (header.ResultSize > expected.Size) return {PatchStatus::ExceedsSize};
    if (header.ResultSize < expected.Size) return {PatchStatus::ResultMismatch};
    // Manifests may spell their digests in either case.
    if (!expected.Sha256.empty() &&
        !EqualsIgnoringAsciiCase(LowerHex(header.ResultSha256.data(), header.ResultSha256.size()), expected.Sha256))
        return {PatchStatus::ResultMismatch};
    if (PatchResult checked = CheckBase(base, header); !checked.Applied()) return checked;

    CResultWriter writer(result, !expected.Md5.empty());
    if (PatchResult applied = CPatchRun(patch, base, header, writer).Run(); !applied.Applied()) return applied;
    Sha256Digest made{};
    if (!writer.FinishSha256(made) || made != header.ResultSha256) return kDamaged;
    if (!expected.Md5.empty() && !EqualsIgnoringAsciiCase(writer.Md5(), expected.Md5)) return {PatchStatus::ResultMismatch};
    return kApplied;
}
