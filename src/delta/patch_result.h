#pragma once
// How applying a patch ended, and why when it failed: every failure names
// its reason, and a read or write failure keeps the local failure (its kind
// and the system's error code), so that the caller can log it and fall back
// to fetching the whole file.
#include "base/failure.h"

#include <string>

enum class PatchStatus {
    Applied,           // the result is complete and is the file expected
    BaseMismatch,      // the base is not the file the patch was made from (size or SHA-256)
    Damaged,           // not a patch, or one whose streams or instructions do not hold together
    Truncated,         // the patch ends before its last stream does
    ExceedsSize,       // the result would grow past its size (the patch's own or the caller's bound)
    ExceedsBaseReads,  // the patch would read more of its base than MaxBaseReadBytes (patch_format.h) allows
    ResultMismatch,    // the patch makes another file than the one expected (size, MD5 or SHA-256)
    PatchUnreadable,   // the patch file could not be opened or read
    BaseUnreadable,    // the base (the installed copy) could not be opened or read
    ResultUnwritable,  // the result could not be written
};

struct PatchResult {
    PatchStatus Status = PatchStatus::Applied;
    Failure Cause = {};  // why a file was unreadable or unwritable; nothing for the other statuses

    bool Applied() const { return Status == PatchStatus::Applied; }
};

// "applied", "base-mismatch", ...; an unreadable or unwritable file with its failure.
std::string DescribePatchResult(const PatchResult& result);

// A patch that was not applied as a failure of the run's kinds: one that
// does not decode or hold together is undecodable, one that would grow past
// its size or read past its bound of the base over the limit, a wrong base
// or result a mismatch, and a file that could not be read or written keeps
// its local failure. The detail names the status ("base-mismatch").
Failure PatchFailure(const PatchResult& result);
