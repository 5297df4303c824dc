#pragma once
// Questions about a GBK path that the update steps ask, answered through
// std::filesystem so that the same code serves both builds.
#include <cstdint>
#include <filesystem>
#include <string_view>

// The GBK path as a file-system path: '\' separates on either build, and an
// absolute Windows path longer than the classic limit gets the "\\?\" form.
std::filesystem::path ToFileSystemPath(std::string_view gbkPath);

bool FileExists(std::string_view gbkPath);       // a file, not a folder
bool DirectoryExists(std::string_view gbkPath);
// The file's size in bytes, or -1 when it is not a readable file.
int64_t FileSize(std::string_view gbkPath);
