#pragma once
// The base of a patch as the applier reads it: through a fixed number of
// aligned pages, the least recently used given up first. A patch made the
// bsdiff way from a real program jumps all over its base (a linker moves
// functions and data about between builds: tens of thousands of seeks of
// hundreds of kilobytes) but keeps coming back to the same places, so the
// pages serve most reads and applying reads the base about once, in
// whatever order. The pages that one read misses side by side are fetched
// with one call to the source.
//
// Every byte fetched counts against a budget (MaxBaseReadBytes in
// patch_format.h); a patch that would go past it is refused.
#include "delta/byte_access.h"
#include "delta/patch_result.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

inline constexpr size_t kBasePageSize = 4096;
// 4 MiB: the pages hold the working set of a large program's patch (an
// eighth of this reads twice the base, a quarter of it a third more).
inline constexpr size_t kBasePageCount = 1024;

class CBasePageCache {
public:
    // Never more pages than the base has: a small base takes small memory.
    CBasePageCache(CRandomAccessSource& base, uint64_t readBudget);

    // Bytes [offset, offset + count) of the base into out; the range lies
    // inside the base.
    PatchResult Read(uint64_t offset, uint8_t* out, size_t count);

private:
    static constexpr uint32_t kNone = UINT32_MAX;
    struct Slot {
        uint64_t Page = 0;
        uint32_t Newer = kNone;
        uint32_t Older = kNone;
    };

    // The slot that holds page, made the most recently used; kNone when the
    // page is not held.
    uint32_t Find(uint64_t page);
    // Fetches pages [first, end), all missing, into the least recently used slots.
    PatchResult Load(uint64_t first, uint64_t end);
    size_t PageBytes(uint64_t page) const;
    void Unlink(uint32_t slot);
    void MakeNewest(uint32_t slot);

    CRandomAccessSource& base_;
    uint64_t readBudget_;
    std::vector<uint8_t> bytes_;  // slot i at i * kBasePageSize
    std::vector<Slot> slots_;
    std::unordered_map<uint64_t, uint32_t> slotOfPage_;
    std::vector<uint8_t> run_;  // the missing pages of one read, fetched together
    uint32_t newest_ = kNone;
    uint32_t oldest_ = kNone;
    uint32_t used_ = 0;
};
