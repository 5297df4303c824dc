#include "publisher/publisher_cli.h"

#include <windows.h>

#include <iostream>

namespace {
// The wide command line carries every name, whatever the ANSI code page;
// the portable part takes UTF-8 like the native build.
std::string ToUtf8(const wchar_t* wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return {};
    std::string text(static_cast<size_t>(length - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
    return text;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(ToUtf8(argv[i]));
    return RunPublisher(args, std::cout, std::cerr);
}
