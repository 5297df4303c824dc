#include "base/path_info.h"

#include "base/gbk_text.h"

#include <windows.h>

#include <optional>

namespace {
constexpr std::wstring_view kVerbatim = L"\\\\?\\";
constexpr std::wstring_view kVerbatimUnc = L"\\\\?\\UNC\\";

std::wstring FullPath(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return path;
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length);  // length includes the terminator here
    }
}

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

std::wstring LongPath(const std::string& gbkPath) {
    const std::wstring wide = Widen(gbkPath);
    if (wide.empty() || wide.starts_with(kVerbatim)) return wide;
    const std::wstring full = FullPath(wide);
    if (full.starts_with(L"\\\\.\\")) return full;  // device namespace
    if (full.starts_with(L"\\\\")) return std::wstring(kVerbatimUnc) + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return std::wstring(kVerbatim) + full;
    return full;  // a device name or something else that must stay as it is
}

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

std::optional<FileStamp> ReadFileStamp(std::string_view gbkPath) {
    const auto data = Attributes(gbkPath);
    if (!data || IsFolder(*data)) return std::nullopt;
    const auto size = (static_cast<uint64_t>(data->nFileSizeHigh) << 32) | data->nFileSizeLow;
    const auto written = (static_cast<uint64_t>(data->ftLastWriteTime.dwHighDateTime) << 32) |
                         data->ftLastWriteTime.dwLowDateTime;
    return FileStamp{static_cast<int64_t>(size), static_cast<int64_t>(written)};
}
