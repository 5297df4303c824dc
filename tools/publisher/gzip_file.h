#pragma once
// The compressed form of a release file: gzip at level 9, the form clients
// decode as it arrives.
#include <cstdint>
#include <filesystem>
#include <string>

// Writes source gzip-compressed to destination (replaced when it exists) and
// gives its size. False with error set when either file fails.
bool GzipFile(const std::filesystem::path& source, const std::filesystem::path& destination, uint64_t& compressedSize,
              std::string& error);
