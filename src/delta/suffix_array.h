#pragma once
// The suffixes of a text in sorted order, by induced sorting (SA-IS, Nong,
// Zhang and Chan 2009): linear time, and beside the array itself at most
// half of it again (the bucket counts of the reduced text) plus a bit per byte.
#include <cstdint>
#include <string_view>
#include <vector>

// The largest text it sorts: its positions are 32-bit.
inline constexpr uint64_t kMaxSuffixSortBytes = 0x7FFFFFFE;

// sa[i] is the start of the i-th smallest suffix of text. Throws
// std::bad_alloc when memory runs out; text.size() <= kMaxSuffixSortBytes.
std::vector<int32_t> SortSuffixes(std::string_view text);
