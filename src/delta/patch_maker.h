#pragma once
// Makes a patch (patch_format.h) that turns base into result, in the manner
// of bsdiff: the base's suffixes sorted, the result scanned for long
// matches that may differ in a few bytes (an address moved by a rebuild),
// each match written as unchanged runs and byte differences, and what
// matches nothing as new bytes.
//
// Making is bounded: files beyond a size are not patched, and the matching
// stops at a budget of work proportional to the files' sizes, so that an
// input on which the scan would take quadratic time (long near-repeats)
// costs seconds, not hours. Such a file is simply published without a patch.
#include <cstdint>
#include <string>
#include <string_view>

struct PatchMakingLimits {
    // Either file larger than this is not patched; the suffix array takes
    // four bytes per byte of the base.
    uint64_t MaxFileBytes = 256ull << 20;
    // Bytes the matching may compare per byte of the two files, on top of
    // a fixed allowance for small files.
    uint64_t WorkPerByte = 64;
};

enum class PatchMaking {
    Made,
    TooLarge,      // a file is larger than the limit
    TooMuchWork,   // the matching went past its budget
    OutOfMemory,   // the suffix array or the streams could not be allocated
    HashFailed,    // the system's SHA-256 could not be used
};

struct MadePatch {
    PatchMaking Status = PatchMaking::Made;
    std::string Bytes;  // the whole patch file when Made
};

MadePatch MakePatch(std::string_view base, std::string_view result, const PatchMakingLimits& limits = {});

// "too large", "too much work", ... for the publisher's messages.
const char* PatchMakingReason(PatchMaking status);
