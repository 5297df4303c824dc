#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The digest of each path that is an existing, readable file (nullopt for
// the others), in the order of paths. Large installs are hashed on as many
// threads as the machine has cores; each thread streams one file at a time,
// so memory does not grow with file sizes.
// maxThreads 0 means one per core.
std::vector<std::optional<std::string>> HashExistingFiles(const std::vector<std::string>& paths,
                                                          size_t maxThreads = 0);
