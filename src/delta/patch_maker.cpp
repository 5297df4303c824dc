#include "delta/patch_maker.h"

#include "crypto/crypto_primitives.h"
#include "delta/patch_applier.h"
#include "delta/patch_writer.h"
#include "delta/suffix_array.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

// A run of unchanged bytes inside a match becomes an instruction of its
// own from this length on; shorter ones stay in the differences, where
// zlib packs them for less than the instructions would cost (measured on
// real program builds: from 8 up to 512 the patches shrink by a few percent,
// beyond that they grow again).
constexpr int64_t kMinUnchangedRun = 512;
constexpr int64_t kDifferenceChunk = 64 * 1024;
// Work every patch may take, however small its files. Real program builds
// take about 4 units per byte of the two files.
constexpr uint64_t kBaseWorkAllowance = 64ull << 20;

struct OutOfWork {};

class WorkBudget {
public:
    explicit WorkBudget(uint64_t units) : left_(units) {}
    void Spend(uint64_t units) {
        if (units > left_) throw OutOfWork{};
        left_ -= units;
    }

private:
    uint64_t left_;
};

// The scan of bsdiff 4 (Colin Percival, "Naive differences of executable
// code"), over a suffix array of the base.
class Matcher {
public:
    Matcher(std::string_view base, std::string_view result, const std::vector<int32_t>& suffixes, WorkBudget& budget,
            CPatchWriter& writer)
        : old_(reinterpret_cast<const uint8_t*>(base.data())),
          oldSize_(static_cast<int64_t>(base.size())),
          new_(reinterpret_cast<const uint8_t*>(result.data())),
          newSize_(static_cast<int64_t>(result.size())),
          suffixes_(suffixes),
          budget_(budget),
          writer_(writer) {}

    void Run() {
        int64_t scan = 0, length = 0, position = 0;
        int64_t lastScan = 0, lastPosition = 0, lastOffset = 0;
        while (scan < newSize_) {
            // Moves on until a match is found that is clearly better than
            // carrying on with the previous match's alignment.
            int64_t oldScore = 0;
            int64_t scored = scan += length;
            for (; scan < newSize_; ++scan) {
                length = LongestMatch(scan, position);
                for (; scored < scan + length; ++scored) {
                    if (MatchesAt(scored, lastOffset)) ++oldScore;
                }
                if ((length == oldScore && length != 0) || length > oldScore + 8) break;
                if (MatchesAt(scan, lastOffset)) --oldScore;
                budget_.Spend(1);
            }
            if (length == oldScore && scan != newSize_) continue;

            // Extends the previous match forwards and this one backwards
            // while at least half the bytes agree, and splits any overlap.
            int64_t forward = 0;
            for (int64_t i = 0, same = 0, best = 0; lastScan + i < scan && lastPosition + i < oldSize_;) {
                if (old_[lastPosition + i] == new_[lastScan + i]) ++same;
                ++i;
                if (same * 2 - i > best * 2 - forward) {
                    best = same;
                    forward = i;
                }
            }
            int64_t backward = 0;
            if (scan < newSize_) {
                for (int64_t i = 1, same = 0, best = 0; scan >= lastScan + i && position >= i; ++i) {
                    if (old_[position - i] == new_[scan - i]) ++same;
                    if (same * 2 - i > best * 2 - backward) {
                        best = same;
                        backward = i;
                    }
                }
            }
            if (lastScan + forward > scan - backward) {
                const int64_t overlap = (lastScan + forward) - (scan - backward);
                int64_t split = 0;
                for (int64_t i = 0, score = 0, best = 0; i < overlap; ++i) {
                    if (new_[lastScan + forward - overlap + i] == old_[lastPosition + forward - overlap + i]) ++score;
                    if (new_[scan - backward + i] == old_[position - backward + i]) --score;
                    if (score > best) {
                        best = score;
                        split = i + 1;
                    }
                }
                forward += split - overlap;
                backward -= split;
            }
            budget_.Spend(static_cast<uint64_t>(scan - lastScan));

            WriteMatch(lastScan, lastPosition, forward);
            const int64_t newStart = lastScan + forward;
            writer_.Insert(new_ + newStart, static_cast<size_t>((scan - backward) - newStart));
            writer_.Seek((position - backward) - (lastPosition + forward));
            lastScan = scan - backward;
            lastPosition = position - backward;
            lastOffset = position - scan;
        }
    }

private:
    bool MatchesAt(int64_t at, int64_t offset) const {
        const int64_t inBase = at + offset;
        return inBase >= 0 && inBase < oldSize_ && old_[inBase] == new_[at];
    }

    // Bytes of the base at `from` that equal the result at `at`, beyond `known`.
    int64_t CommonLength(int64_t from, int64_t at, int64_t known) const {
        const int64_t limit = std::min(oldSize_ - from, newSize_ - at);
        int64_t length = known;
        while (length < limit && old_[from + length] == new_[at + length]) ++length;
        budget_.Spend(static_cast<uint64_t>(length - known) + 1);
        return length;
    }

    // The longest match of the result at `at` anywhere in the base, by
    // binary search over the sorted suffixes; the bytes both ends of the
    // range are known to share are not compared again.
    int64_t LongestMatch(int64_t at, int64_t& position) const {
        if (oldSize_ == 0) return 0;
        int64_t low = 0;
        int64_t high = oldSize_ - 1;
        int64_t lowLength = CommonLength(suffixes_[low], at, 0);
        int64_t highLength = CommonLength(suffixes_[high], at, 0);
        while (high - low > 1) {
            const int64_t middle = low + (high - low) / 2;
            const int64_t from = suffixes_[middle];
            const int64_t length = CommonLength(from, at, std::min(lowLength, highLength));
            const bool suffixEnded = from + length == oldSize_;
            const bool resultEnded = at + length == newSize_;
            // The suffix sorts before the result's bytes: search above it.
            if (!resultEnded && (suffixEnded || old_[from + length] < new_[at + length])) {
                low = middle;
                lowLength = length;
            } else {
                high = middle;
                highLength = length;
            }
        }
        if (lowLength > highLength) {
            position = suffixes_[low];
            return lowLength;
        }
        position = suffixes_[high];
        return highLength;
    }

    // A match: runs of unchanged bytes as such, the rest as differences.
    void WriteMatch(int64_t at, int64_t from, int64_t length) {
        int64_t changedFrom = 0;
        for (int64_t i = 0; i < length;) {
            if (new_[at + i] != old_[from + i]) {
                ++i;
                continue;
            }
            int64_t end = i;
            while (end < length && new_[at + end] == old_[from + end]) ++end;
            if (end - i >= kMinUnchangedRun || (i == changedFrom && end == length)) {
                WriteDifferences(at + changedFrom, from + changedFrom, i - changedFrom);
                writer_.Copy(static_cast<uint64_t>(end - i));
                changedFrom = end;
            }
            i = end;
        }
        WriteDifferences(at + changedFrom, from + changedFrom, length - changedFrom);
    }

    void WriteDifferences(int64_t at, int64_t from, int64_t count) {
        while (count > 0) {
            const size_t chunk = static_cast<size_t>(std::min<int64_t>(count, kDifferenceChunk));
            for (size_t i = 0; i < chunk; ++i) differences_[i] = static_cast<uint8_t>(new_[at + i] - old_[from + i]);
            writer_.Add(differences_.data(), chunk);
            at += chunk;
            from += chunk;
            count -= chunk;
        }
    }

    const uint8_t* old_;
    int64_t oldSize_;
    const uint8_t* new_;
    int64_t newSize_;
    const std::vector<int32_t>& suffixes_;
    WorkBudget& budget_;
    CPatchWriter& writer_;
    std::vector<uint8_t> differences_ = std::vector<uint8_t>(kDifferenceChunk);
};

// The applier's result compared with the one expected as it arrives: the
// maker holds both files already and needs no third copy.
class CComparingSink final : public CByteSink {
public:
    explicit CComparingSink(std::string_view expected) : expected_(expected) {}
    Status Write(const uint8_t* bytes, size_t count) override {
        same_ = same_ && count <= expected_.size() - compared_ &&
                std::memcmp(bytes, expected_.data() + compared_, count) == 0;
        if (same_) compared_ += count;
        return {};
    }
    bool Matches() const { return same_ && compared_ == expected_.size(); }

private:
    std::string_view expected_;
    size_t compared_ = 0;
    bool same_ = true;
};

// Applies the patch as the updater will, to the same base.
PatchResult ApplyAsTheUpdater(const std::string& patch, std::string_view base, std::string_view result) {
    CMemorySource patchSource(patch);
    CMemorySource baseSource(base);
    CComparingSink made(result);
    const PatchResult applied = ApplyPatch(patchSource, baseSource, made, {result.size(), {}, {}});
    if (applied.Applied() && !made.Matches()) return {PatchStatus::ResultMismatch};
    return applied;
}

}  // namespace

MadePatch MakePatch(std::string_view base, std::string_view result, const PatchMakingLimits& limits) {
    const uint64_t largest = std::min<uint64_t>(limits.MaxFileBytes, kMaxSuffixSortBytes);
    if (base.size() > largest || result.size() > largest) return {PatchMaking::TooLarge, {}};
    PatchHeader header;
    header.BaseSize = base.size();
    header.ResultSize = result.size();
    if (!ComputeSha256(base, header.BaseSha256) || !ComputeSha256(result, header.ResultSha256))
        return {PatchMaking::HashFailed, {}};
    try {
        const std::vector<int32_t> suffixes = SortSuffixes(base);
        WorkBudget budget(kBaseWorkAllowance + limits.WorkPerByte * (base.size() + result.size()));
        CPatchWriter writer;
        Matcher(base, result, suffixes, budget, writer).Run();
        std::string patch = writer.Finish(header);
        if (PatchResult applied = ApplyAsTheUpdater(patch, base, result); !applied.Applied())
            return {PatchMaking::NotApplicable, {}, applied};
        return {PatchMaking::Made, std::move(patch)};
    } catch (const OutOfWork&) {
        return {PatchMaking::TooMuchWork, {}};
    } catch (const std::bad_alloc&) {
        return {PatchMaking::OutOfMemory, {}};
    }
}

std::string PatchMakingReason(const MadePatch& made) {
    switch (made.Status) {
    case PatchMaking::Made: return "made";
    case PatchMaking::TooLarge: return "the file is too large to patch";
    case PatchMaking::TooMuchWork: return "finding the matches took too much work";
    case PatchMaking::OutOfMemory: return "not enough memory";
    case PatchMaking::HashFailed: return "SHA-256 unavailable";
    case PatchMaking::NotApplicable: return "the patch made does not apply: " + DescribePatchResult(made.Refusal);
    }
    return "unknown";
}
