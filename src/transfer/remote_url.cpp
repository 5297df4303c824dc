#include "transfer/remote_url.h"

#include "base/gbk_text.h"

namespace {
bool IsUnreservedOrSlash(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/';
}
}  // namespace

std::string BuildRemotePath(uint32_t type, std::string_view gbkName) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string path = "/" + std::to_string(type) + "/";
    for (const char raw : GbkToUtf8(gbkName)) {
        const auto c = static_cast<unsigned char>(raw == '\\' ? '/' : raw);
        if (IsUnreservedOrSlash(c)) {
            path += static_cast<char>(c);
        } else {
            path += '%';
            path += kHex[c >> 4];
            path += kHex[c & 0x0F];
        }
    }
    return path;
}
