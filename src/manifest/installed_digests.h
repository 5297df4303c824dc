#pragma once
// The MD5 of each installed copy that a compare asks about: from the
// remembered digests where the folder's listing proves a file unchanged,
// by reading it otherwise.
#include "manifest/remembered_digests.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct InstalledFile {
    std::string Name;       // relative to the folder, as the manifest names it
    uint64_t SizeHint = 0;  // the expected size, to start large reads first; 0 when unknown
};

// In the order of files; nothing for a copy that is missing or cannot be
// read. With a memory (of this folder), each folder that the names lie in
// is listed once, known files are decided by their listing, the others are
// read, and the memory learns what was read and forgets what is gone.
std::vector<std::optional<std::string>> InstalledMd5s(const std::string& folder, const std::vector<InstalledFile>& files,
                                                      RememberedDigests* memory);
