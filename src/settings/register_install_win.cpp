#include "settings/register_install_win.h"

#include "base/handles_win.h"
#include "base/gbk_text.h"

#include <windows.h>

namespace {

// The key is named in Chinese; written as UTF-16 it reads back the same
// whatever the system's ANSI code page is.
constexpr wchar_t kKeyPath[] = L"SOFTWARE\\HALVO\u7ba1\u5bb6";  // 管家

LSTATUS SetString(HKEY key, const wchar_t* name, const std::string& gbkValue) {
    const std::wstring value = Widen(gbkValue);
    // The size counts the terminating NUL.
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
}

}  // namespace

Status RegisterInstall(const std::string& applicationFolder, const std::string& version) {
    UniqueRegistryKey key;
    if (const LSTATUS opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_READ | KEY_WRITE, key.put());
        opened != ERROR_SUCCESS) {
        return LocalFailure(static_cast<uint32_t>(opened), "the install key is missing or not writable");
    }
    const LSTATUS path = SetString(key.get(), L"InstallPath", applicationFolder);
    const LSTATUS written = SetString(key.get(), L"Version", version);
    if (path != ERROR_SUCCESS || written != ERROR_SUCCESS) {
        return LocalFailure(static_cast<uint32_t>(path != ERROR_SUCCESS ? path : written), "a value cannot be written");
    }
    return {};
}
