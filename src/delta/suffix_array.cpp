#include "delta/suffix_array.h"

#include <algorithm>

// The text is taken to end in a sentinel smaller than every character that
// is never stored: its suffix would sort first, so the suffix before it is
// induced first, and a substring that reaches it equals no other.
namespace {

// Whether each suffix is of type S (smaller than the suffix after it) or L.
class SuffixTypes {
public:
    template <typename Char>
    SuffixTypes(const Char* text, int32_t n) : words_((static_cast<size_t>(n) + 63) / 64) {
        // The last suffix is larger than the sentinel's: L.
        for (int32_t i = n - 2; i >= 0; --i) {
            if (text[i] < text[i + 1] || (text[i] == text[i + 1] && IsS(i + 1))) SetS(i);
        }
    }
    bool IsS(int32_t i) const { return (words_[static_cast<size_t>(i) >> 6] >> (i & 63)) & 1; }
    // Leftmost S: an S suffix right after an L one.
    bool IsLms(int32_t i) const { return i > 0 && IsS(i) && !IsS(i - 1); }

private:
    void SetS(int32_t i) { words_[static_cast<size_t>(i) >> 6] |= uint64_t{1} << (i & 63); }
    std::vector<uint64_t> words_;
};

template <typename Char>
class InducedSort {
public:
    InducedSort(const Char* text, int32_t* sa, int32_t n, int32_t alphabet)
        : text_(text), sa_(sa), n_(n), alphabet_(alphabet), types_(text, n) {}

    void Run() {
        // Sorts the substrings that start at each leftmost S suffix and end at the next.
        bucket_.assign(static_cast<size_t>(alphabet_), 0);
        std::fill(sa_, sa_ + n_, -1);
        BucketEdges(true);
        for (int32_t i = 1; i < n_; ++i) {
            if (types_.IsLms(i)) sa_[--bucket_[Index(text_[i])]] = i;
        }
        InduceL();
        InduceS();

        const int32_t lmsCount = GatherLms();
        const int32_t names = NameSubstrings(lmsCount);
        int32_t* reduced = sa_ + n_ - lmsCount;
        if (names < lmsCount) {
            // Equal substrings: sort the text of their names first. The
            // buckets are given up meanwhile; the reduced text needs its own.
            std::vector<int32_t>().swap(bucket_);
            InducedSort<int32_t>(reduced, sa_, lmsCount, names).Run();
            bucket_.assign(static_cast<size_t>(alphabet_), 0);
        } else {
            for (int32_t i = 0; i < lmsCount; ++i) sa_[reduced[i]] = i;
        }

        // The leftmost S suffixes, now in order, seed the final induction.
        for (int32_t i = 1, j = 0; i < n_; ++i) {
            if (types_.IsLms(i)) reduced[j++] = i;
        }
        for (int32_t i = 0; i < lmsCount; ++i) sa_[i] = reduced[sa_[i]];
        std::fill(sa_ + lmsCount, sa_ + n_, -1);
        BucketEdges(true);
        for (int32_t i = lmsCount - 1; i >= 0; --i) {
            const int32_t suffix = sa_[i];
            sa_[i] = -1;
            sa_[--bucket_[Index(text_[suffix])]] = suffix;
        }
        InduceL();
        InduceS();
    }

private:
    static size_t Index(Char c) { return static_cast<size_t>(c); }

    // Each character's bucket: its first slot, or one past its last.
    void BucketEdges(bool ends) {
        std::fill(bucket_.begin(), bucket_.end(), 0);
        for (int32_t i = 0; i < n_; ++i) ++bucket_[Index(text_[i])];
        int32_t sum = 0;
        for (int32_t& edge : bucket_) {
            const int32_t count = edge;
            edge = ends ? sum + count : sum;
            sum += count;
        }
    }

    void InduceL() {
        BucketEdges(false);
        sa_[bucket_[Index(text_[n_ - 1])]++] = n_ - 1;
        for (int32_t i = 0; i < n_; ++i) {
            const int32_t before = sa_[i] - 1;
            if (before >= 0 && !types_.IsS(before)) sa_[bucket_[Index(text_[before])]++] = before;
        }
    }

    void InduceS() {
        BucketEdges(true);
        for (int32_t i = n_ - 1; i >= 0; --i) {
            const int32_t before = sa_[i] - 1;
            if (before >= 0 && types_.IsS(before)) sa_[--bucket_[Index(text_[before])]] = before;
        }
    }

    // The sorted leftmost S suffixes to the front; their count.
    int32_t GatherLms() {
        int32_t count = 0;
        for (int32_t i = 0; i < n_; ++i) {
            if (types_.IsLms(sa_[i])) sa_[count++] = sa_[i];
        }
        return count;
    }

    bool SameSubstring(int32_t a, int32_t b) const {
        for (int32_t d = 0;; ++d) {
            if (a + d == n_ || b + d == n_) return false;  // the sentinel's substring is unique
            if (text_[a + d] != text_[b + d] || types_.IsS(a + d) != types_.IsS(b + d)) return false;
            if (d > 0 && types_.IsLms(a + d)) return true;  // both end here
        }
    }

    // Names each sorted substring by its rank among the distinct ones and
    // leaves the names, in text order, at the end of the array: the
    // reduced text. Returns the number of names.
    int32_t NameSubstrings(int32_t lmsCount) {
        std::fill(sa_ + lmsCount, sa_ + n_, -1);
        int32_t names = 0;
        int32_t previous = -1;
        for (int32_t i = 0; i < lmsCount; ++i) {
            const int32_t suffix = sa_[i];
            if (previous < 0 || !SameSubstring(suffix, previous)) ++names;
            previous = suffix;
            // Leftmost S suffixes are at least two apart: one slot each.
            sa_[lmsCount + suffix / 2] = names - 1;
        }
        for (int32_t i = n_ - 1, j = n_ - 1; i >= lmsCount; --i) {
            if (sa_[i] >= 0) sa_[j--] = sa_[i];
        }
        return names;
    }

    const Char* text_;
    int32_t* sa_;
    int32_t n_;
    int32_t alphabet_;
    SuffixTypes types_;
    std::vector<int32_t> bucket_;
};

}  // namespace

std::vector<int32_t> SortSuffixes(std::string_view text) {
    const auto n = static_cast<int32_t>(text.size());
    std::vector<int32_t> sa(text.size());
    if (n == 1) sa[0] = 0;
    if (n > 1) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
        InducedSort<uint8_t>(bytes, sa.data(), n, 256).Run();
    }
    return sa;
}
