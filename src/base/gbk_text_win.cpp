#include "base/gbk_text.h"

#include <windows.h>

namespace {
constexpr UINT kGbk = 936;

std::wstring ToWide(UINT codePage, std::string_view text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string FromWide(UINT codePage, std::wstring_view wide) {
    if (wide.empty()) return {};
    const int length = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr, nullptr);
    return text;
}
}  // namespace

std::wstring Widen(std::string_view gbk) { return ToWide(kGbk, gbk); }
std::string Narrow(std::wstring_view wide) { return FromWide(kGbk, wide); }
std::string GbkToUtf8(std::string_view gbk) { return FromWide(CP_UTF8, ToWide(kGbk, gbk)); }
std::string Utf8ToGbk(std::string_view utf8) { return FromWide(kGbk, ToWide(CP_UTF8, utf8)); }
