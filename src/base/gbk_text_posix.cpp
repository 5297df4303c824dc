#include "base/gbk_text.h"

#include <iconv.h>

#include <cerrno>

namespace {
// CP936 rather than GBK: glibc's CP936 is Windows' code page 936, euro sign included.
std::string Convert(const char* to, const char* from, std::string_view in) {
    std::string out;
    if (in.empty()) return out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    size_t done = 0;
    while (srcLeft > 0) {
        char* dst = out.data() + done;
        size_t dstLeft = out.size() - done;
        const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        done = out.size() - dstLeft;
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else {  // invalid or truncated sequence: one '?' per bad byte
            if (done + 1 > out.size()) out.resize(out.size() * 2);
            out[done++] = '?';
            ++src;
            --srcLeft;
        }
    }
    iconv_close(cd);
    out.resize(done);
    return out;
}
}  // namespace

std::string GbkToUtf8(std::string_view gbk) { return Convert("UTF-8", "CP936", gbk); }
std::string Utf8ToGbk(std::string_view utf8) { return Convert("CP936", "UTF-8", utf8); }
