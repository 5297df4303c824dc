#pragma once
// The compressed forms of a release file: zlib at level 9 with the form's
// window bits (release_vocabulary.h), as clients decode it on arrival.
#include "manifest/release_vocabulary.h"

#include <cstdint>
#include <filesystem>
#include <string>

// Writes source compressed in the form to destination (replaced when it
// exists) and gives its size. False with error set when either file fails.
bool CompressFile(const CompressionForm& form, const std::filesystem::path& source,
                  const std::filesystem::path& destination, uint64_t& compressedSize, std::string& error);
