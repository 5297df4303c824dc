#pragma once
#include "crypto/file_digests.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct DigestRequest {
    std::string Path;
    bool WithSha256 = false;  // the SHA-256 as well as the MD5, from the same read
    uint64_t SizeHint = 0;    // the expected size, 0 when unknown: larger files start first
};

// The digests of each path that is an existing, readable file (nullopt for
// the others), in the order of the requests. Large installs are hashed on
// as many threads as the machine has cores, the largest files first; each
// thread streams one file at a time, so memory does not grow with file
// sizes. maxThreads 0 means one per core.
std::vector<std::optional<FileDigests>> HashExistingFiles(const std::vector<DigestRequest>& files,
                                                          size_t maxThreads = 0);
