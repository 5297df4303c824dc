#pragma once
// Every text of the updater is a narrow GBK (code page 936) string. These are
// the only places where it meets other encodings, so that texts and file
// names come out the same whatever the system's own code page is.
#include <string>
#include <string_view>

// Bytes that are not valid in the source encoding become '?'.
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

#ifdef _WIN32
// GBK to UTF-16 for the wide API and back, always through code page 936 and
// never through the system's ANSI code page.
std::wstring Widen(std::string_view gbk);
std::string Narrow(std::wstring_view wide);
#endif
