#pragma once
// Applies a patch (patch_format.h) to its base, writing the result front to
// back as it is made. Memory stays the same whatever the files' sizes: the
// base is read where the instructions point through a few MiB of pages
// (base_page_cache.h), the streams are decoded a block at a time, and the
// result leaves in blocks.
//
// Nothing is written before the patch's header has been checked against
// the caller's expectation and the base has been read whole and found to
// be the patch's base (size and SHA-256); no instruction reads outside the
// base or writes past the result's size, and the base is not read more than
// MaxBaseReadBytes (patch_format.h) allows. The result is then checked
// against the patch's SHA-256 and the caller's digests.
#include "delta/byte_access.h"
#include "delta/patch_result.h"

#include <cstdint>
#include <string>

// What the caller knows of the file the patch must make, as the release lists it.
struct ExpectedResult {
    uint64_t Size = 0;   // the result must end here and may never grow past it
    std::string Md5;     // 32 hex digits (either case); empty: not checked
    std::string Sha256;  // 64 hex digits (either case); empty when the release lists none
};

PatchResult ApplyPatch(CRandomAccessSource& patch, CRandomAccessSource& base, CByteSink& result,
                       const ExpectedResult& expected);
