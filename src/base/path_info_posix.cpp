#include "base/path_info.h"

#include "base/gbk_text.h"

#include <string>
#include <system_error>

namespace fs = std::filesystem;

fs::path ToFileSystemPath(std::string_view gbkPath) {
    std::string utf8 = GbkToUtf8(gbkPath);
    for (char& c : utf8) {
        if (c == '\\') c = '/';
    }
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

bool FileExists(std::string_view gbkPath) {
    std::error_code error;
    return fs::is_regular_file(ToFileSystemPath(gbkPath), error);
}

bool DirectoryExists(std::string_view gbkPath) {
    std::error_code error;
    return fs::is_directory(ToFileSystemPath(gbkPath), error);
}

int64_t FileSize(std::string_view gbkPath) {
    std::error_code error;
    const auto size = fs::file_size(ToFileSystemPath(gbkPath), error);
    return error ? -1 : static_cast<int64_t>(size);
}

std::optional<FileStamp> ReadFileStamp(std::string_view gbkPath) {
    std::error_code error;
    const fs::path path = ToFileSystemPath(gbkPath);
    if (!fs::is_regular_file(path, error)) return std::nullopt;
    const auto size = fs::file_size(path, error);
    const auto written = fs::last_write_time(path, error);
    if (error) return std::nullopt;
    return FileStamp{static_cast<int64_t>(size), static_cast<int64_t>(written.time_since_epoch().count())};
}
