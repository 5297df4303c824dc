#pragma once
// The publisher speaks UTF-8 on its command line and in its messages,
// whatever the platform's path encoding; the updater's own code, which it
// shares, takes GBK paths.
#include "base/gbk_text.h"

#include <filesystem>
#include <string>

inline std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

// False for a path with no GBK spelling, which the shared code cannot be handed.
inline bool GbkPathOf(const std::filesystem::path& path, std::string& gbk) {
    const std::string utf8 = Utf8Of(path);
    gbk = Utf8ToGbk(utf8);
    return GbkToUtf8(gbk) == utf8;
}
