#include "base/path_info.h"

#include "base/gbk_text.h"

#include <string>
#include <system_error>

namespace fs = std::filesystem;

fs::path ToFileSystemPath(std::string_view gbkPath) {
    std::string utf8 = GbkToUtf8(gbkPath);
#ifdef _WIN32
    // 260 is MAX_PATH; the "\\?\" form lifts it for drive-letter paths.
    constexpr size_t kClassicLimit = 260;
    if (utf8.size() >= kClassicLimit - 12 && utf8.size() > 2 && utf8[1] == ':') utf8.insert(0, "\\\\?\\");
#else
    for (char& c : utf8) {
        if (c == '\\') c = '/';
    }
#endif
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
