#pragma once
// The publisher's command line: arguments in UTF-8, exit code out. Its
// messages are UTF-8 as well, whatever the platform's path encoding, so
// every path it is given or names goes through the conversions below; the
// updater's own code, which it shares, takes GBK paths.
#include "base/gbk_text.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

// 0 on success, 1 when publishing failed or a name was refused, 2 on bad
// arguments. Only a new key's public line goes to out; messages go to log.
int RunPublisher(const std::vector<std::string>& args, std::ostream& out, std::ostream& log);

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
