#include "components/native_path_posix.h"

#include "components/gbk_text.h"

std::filesystem::path NativePath(const std::string& gbkPath) {
    std::string utf8 = GbkToUtf8(gbkPath);
    for (char& c : utf8) {
        if (c == '\\') c = '/';
    }
    return std::filesystem::path(utf8);
}

std::string GbkPathOf(const std::filesystem::path& path) { return Utf8ToGbk(path.string()); }
