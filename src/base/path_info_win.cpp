#include "base/path_info.h"

#include "base/long_path_win.h"

#include <windows.h>

#include <optional>
#include <string>

namespace {
// Windows answers for the "\\?\" form that LongPath gives; std::filesystem
// would ask msvcrt's stat, which refuses any path holding a '?'.
std::optional<WIN32_FILE_ATTRIBUTE_DATA> Attributes(std::string_view gbkPath) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(LongPath(std::string(gbkPath)).c_str(), GetFileExInfoStandard, &data)) {
        return std::nullopt;
    }
    return data;
}

bool IsFolder(const WIN32_FILE_ATTRIBUTE_DATA& data) { return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
}  // namespace

bool FileExists(std::string_view gbkPath) {
    const auto data = Attributes(gbkPath);
    return data && !IsFolder(*data);
}

bool DirectoryExists(std::string_view gbkPath) {
    const auto data = Attributes(gbkPath);
    return data && IsFolder(*data);
}

int64_t FileSize(std::string_view gbkPath) {
    const auto data = Attributes(gbkPath);
    if (!data || IsFolder(*data)) return -1;
    return static_cast<int64_t>((static_cast<uint64_t>(data->nFileSizeHigh) << 32) | data->nFileSizeLow);
}
