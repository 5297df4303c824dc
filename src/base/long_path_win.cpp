#include "base/long_path_win.h"

#include "base/wide_text_win.h"

#include <windows.h>

namespace {
constexpr std::wstring_view kVerbatim = L"\\\\?\\";
constexpr std::wstring_view kVerbatimUnc = L"\\\\?\\UNC\\";

std::wstring FullPath(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return path;
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length);  // length includes the terminator here
    }
}
}  // namespace

std::wstring LongPath(const std::string& gbkPath) {
    const std::wstring wide = Widen(gbkPath);
    if (wide.empty() || wide.starts_with(kVerbatim)) return wide;
    const std::wstring full = FullPath(wide);
    if (full.starts_with(L"\\\\.\\")) return full;  // device namespace
    if (full.starts_with(L"\\\\")) return std::wstring(kVerbatimUnc) + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return std::wstring(kVerbatim) + full;
    return full;  // a device name or something else that must stay as it is
}
