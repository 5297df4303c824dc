#pragma once
// The remembered digests of a compared folder on disk, in the updater's
// own area (src/engine/update_area.h names the file). Written whole and
// replaced atomically, with a format version, the folder it describes and
// a checksum of its own; a file that is wrong in any way is ignored as a
// whole.
#include "base/failure.h"
#include "manifest/remembered_digests.h"

#include <string>
#include <string_view>

// Why a memory was (not) taken: for the run's log.
enum class RememberedDigestsState {
    Loaded,
    Missing,
    Unreadable,    // could not be read, or larger than any memory would be
    Foreign,       // not a memory of digests
    OtherVersion,  // of a format this program does not know
    OtherFolder,   // describes another folder
    Damaged,       // checksum, length or structure wrong
};
const char* DescribeRememberedDigestsState(RememberedDigestsState state);

struct LoadedDigests {
    RememberedDigests Memory;  // empty unless Loaded
    RememberedDigestsState State;
};

// The memory of folder saved at path.
LoadedDigests LoadRememberedDigests(const std::string& path, const std::string& folder,
                                    FileClock clock = &CurrentFileTime);

// Replaces the file at path with the memory, leaving out what is too old
// to be used; a failure leaves the old file. A run saves when the compare
// changed the memory (IsChanged).
Status SaveRememberedDigests(const std::string& path, const RememberedDigests& memory);

// The two halves on bytes.
LoadedDigests ParseRememberedDigests(std::string_view bytes, const std::string& folder,
                                     FileClock clock = &CurrentFileTime);
std::string SerializeRememberedDigests(const RememberedDigests& memory);
