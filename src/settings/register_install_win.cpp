#include "settings/register_install_win.h"

#include "base/handles_win.h"
#include "base/wide_text_win.h"

#include <windows.h>

namespace {

// The key is named in Chinese; written as UTF-16 it reads back the same
// whatever the system's ANSI code page is.
constexpr wchar_t kKeyPath[] = L"SOFTWARE\\HALVO\u7ba1\u5bb6";  // 管家

bool SetString(HKEY key, const wchar_t* name, const std::string& gbkValue) {
    const std::wstring value = Widen(gbkValue);
    // The size counts the terminating NUL.
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
}

}  // namespace

bool RegisterInstall(const std::string& applicationFolder, const std::string& version) {
    UniqueRegistryKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_READ | KEY_WRITE, key.put()) != ERROR_SUCCESS) return false;
    const bool path = SetString(key.get(), L"InstallPath", applicationFolder);
    return SetString(key.get(), L"Version", version) && path;
}
