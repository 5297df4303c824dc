#pragma once
// A GBK path in the form that each build's file functions take, and the
// questions about it that the update steps ask. On Windows every file access
// goes through LongPath, so paths beyond MAX_PATH and on shares are answered
// alike.
#include <cstdint>
#include <optional>
#include <string_view>

bool FileExists(std::string_view gbkPath);       // a file, not a folder
bool DirectoryExists(std::string_view gbkPath);
// The file's size in bytes, or -1 when it is not a readable file.
int64_t FileSize(std::string_view gbkPath);

// What the file's directory entry says without opening it: a file written
// or replaced since shows another stamp (short of one whose writer set its
// time back on purpose).
struct FileStamp {
    int64_t Size = 0;
    int64_t LastWriteTime = 0;  // in the build's own ticks
    bool operator==(const FileStamp&) const = default;
};
// Nothing when it is not a readable file.
std::optional<FileStamp> ReadFileStamp(std::string_view gbkPath);

#ifdef _WIN32
#include <string>

// GBK path to the wide form that the W functions take. Absolute results carry
// the "\\?\" prefix ("\\?\UNC\" for shares), which lifts the MAX_PATH limit;
// since such paths are not normalised by Windows, the path is made full
// (relative parts resolved, '/' turned into '\') first.
std::wstring LongPath(const std::string& gbkPath);
#else
#include <filesystem>

// The native build's form of a GBK path: UTF-8, '\' separating folders like '/'.
std::filesystem::path ToFileSystemPath(std::string_view gbkPath);
#endif
