#pragma once
// A new file that only its owner may read, for the private key.
#include <filesystem>
#include <string>
#include <string_view>

// Creates path (never replacing an existing file), writes bytes and flushes
// them. False with error set to a one-line reason; a file that was created
// but not completely written is removed again.
bool WriteNewOwnerOnlyFile(const std::filesystem::path& path, std::string_view bytes, std::string& error);
