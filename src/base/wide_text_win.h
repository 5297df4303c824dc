#pragma once
// The Windows side of the text boundary: GBK to UTF-16 for the wide API and
// back, always through code page 936 and never through the system's ANSI
// code page.
#include <string>
#include <string_view>

std::wstring Widen(std::string_view gbk);
std::string Narrow(std::wstring_view wide);
