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
//
// Every patch made is applied once in memory by the updater's own applier
// (ApplyPatch), against the base and compared with the result byte for
// byte, before it is handed out: a patch that breaks one of the format's
// rules (patch_format.h), such as reading its base more than the updater
// allows, is never the outcome.
#include "delta/patch_result.h"

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
    NotApplicable, // the patch made would be refused by the updater, or would not make the result
};

struct MadePatch {
    PatchMaking Status = PatchMaking::Made;
    std::string Bytes;      // the whole patch file when Made
    PatchResult Refusal{};  // when NotApplicable: how applying it ended
};

MadePatch MakePatch(std::string_view base, std::string_view result, const PatchMakingLimits& limits = {});

// "the file is too large to patch", "the patch made does not apply:
// exceeds-base-reads", ... for the publisher's messages.
std::string PatchMakingReason(const MadePatch& made);
