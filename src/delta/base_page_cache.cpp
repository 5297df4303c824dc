#include "delta/base_page_cache.h"

#include <algorithm>
#include <cstring>

namespace {

// The longest run of missing pages fetched with one call: long enough that
// a call costs little per byte, and a fraction of the pages themselves.
constexpr size_t kMaxRunPages = 32;
static_assert(kMaxRunPages <= kBasePageCount, "a run must fit into the pages without evicting itself");

}  // namespace

CBasePageCache::CBasePageCache(CRandomAccessSource& base, uint64_t readBudget)
    : base_(base), readBudget_(readBudget) {
    const uint64_t basePages = (base.Size() + kBasePageSize - 1) / kBasePageSize;
    const size_t count = static_cast<size_t>(std::min<uint64_t>(basePages, kBasePageCount));
    bytes_.resize(count * kBasePageSize);
    slots_.resize(count);
    slotOfPage_.reserve(count);
    run_.resize(std::min(count, kMaxRunPages) * kBasePageSize);
}

PatchResult CBasePageCache::Read(uint64_t offset, uint8_t* out, size_t count) {
    while (count > 0) {
        const uint64_t page = offset / kBasePageSize;
        uint32_t slot = Find(page);
        if (slot == kNone) {
            const uint64_t last = (offset + count - 1) / kBasePageSize;
            uint64_t end = page + 1;
            while (end <= last && end - page < kMaxRunPages && slotOfPage_.count(end) == 0) ++end;
            if (PatchResult loaded = Load(page, end); !loaded.Applied()) return loaded;
            slot = Find(page);
        }
        const size_t within = static_cast<size_t>(offset % kBasePageSize);
        const size_t take = std::min(count, PageBytes(page) - within);
        std::memcpy(out, &bytes_[slot * kBasePageSize + within], take);
        out += take;
        offset += take;
        count -= take;
    }
    return {};
}

uint32_t CBasePageCache::Find(uint64_t page) {
    const auto found = slotOfPage_.find(page);
    if (found == slotOfPage_.end()) return kNone;
    Unlink(found->second);
    MakeNewest(found->second);
    return found->second;
}

PatchResult CBasePageCache::Load(uint64_t first, uint64_t end) {
    const uint64_t offset = first * kBasePageSize;
    const size_t bytes = static_cast<size_t>(std::min<uint64_t>(end * kBasePageSize, base_.Size()) - offset);
    if (bytes > readBudget_) return {PatchStatus::ExceedsBaseReads};
    readBudget_ -= bytes;
    if (const Status read = base_.ReadAt(offset, run_.data(), bytes); !read)
        return {PatchStatus::BaseUnreadable, read.Why()};
    for (uint64_t page = first; page < end; ++page) {
        uint32_t slot = used_;
        if (used_ < slots_.size()) {
            ++used_;
        } else {
            slot = oldest_;
            Unlink(slot);
            slotOfPage_.erase(slots_[slot].Page);
        }
        slots_[slot].Page = page;
        slotOfPage_.emplace(page, slot);
        MakeNewest(slot);
        std::memcpy(&bytes_[slot * kBasePageSize], &run_[static_cast<size_t>(page - first) * kBasePageSize], PageBytes(page));
    }
    return {};
}

size_t CBasePageCache::PageBytes(uint64_t page) const {
    return static_cast<size_t>(std::min<uint64_t>(kBasePageSize, base_.Size() - page * kBasePageSize));
}

void CBasePageCache::Unlink(uint32_t slot) {
    Slot& unlinked = slots_[slot];
    (unlinked.Newer == kNone ? newest_ : slots_[unlinked.Newer].Older) = unlinked.Older;
    (unlinked.Older == kNone ? oldest_ : slots_[unlinked.Older].Newer) = unlinked.Newer;
    unlinked.Newer = unlinked.Older = kNone;
}

void CBasePageCache::MakeNewest(uint32_t slot) {
    slots_[slot].Older = newest_;
    slots_[slot].Newer = kNone;
    (newest_ == kNone ? oldest_ : slots_[newest_].Newer) = slot;
    newest_ = slot;
}
