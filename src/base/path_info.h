#pragma once
// Questions about a GBK path that the update steps ask. On Windows the path
// takes the long form of LongPath (long_path_win.h), as for every other file
// access, so paths beyond MAX_PATH and on shares are answered alike.
#include <cstdint>
#include <string_view>

bool FileExists(std::string_view gbkPath);       // a file, not a folder
bool DirectoryExists(std::string_view gbkPath);
// The file's size in bytes, or -1 when it is not a readable file.
int64_t FileSize(std::string_view gbkPath);

#ifndef _WIN32
#include <filesystem>

// The native build's form of a GBK path: UTF-8, '\' separating folders like '/'.
std::filesystem::path ToFileSystemPath(std::string_view gbkPath);
#endif
