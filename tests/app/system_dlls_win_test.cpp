#include "app/system_dlls_win.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

namespace {

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

std::wstring System32() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return Lower(std::wstring(folder, length));
}

// Both ways of loading (with the search flags, and the fallback of a
// Windows 7 without them) take the DLL from System32, wherever the
// program is.
TEST(SystemDllsTest, EachWayLoadsTheSystem32Copy) {
    for (const bool searchFlags : {true, false}) {
        for (const char* name : {"winhttp.dll", "bcrypt.dll", "gdiplus.dll"}) {
            const HMODULE module = LoadSystemDll(name, searchFlags);
            ASSERT_NE(module, nullptr) << name << " " << searchFlags;
            wchar_t path[MAX_PATH];
            const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
            const std::wstring file = Lower(std::wstring(path, length));
            EXPECT_EQ(file.substr(0, file.rfind(L'\\')), System32()) << name << " " << searchFlags;
            FreeLibrary(module);
        }
    }
    EXPECT_EQ(LoadSystemDll("no-such-system.dll", true), nullptr);
}

}  // namespace
