#include "app/system_dlls_win.h"

#include <windows.h>
#include <delayimp.h>

#include <string>

// The entry point's call of RestrictDllSearchToSystem32 brings this object
// into Update.exe, and with it the delay-load hook below, which the
// toolchain's delay-load helper then uses instead of its empty default.
// Programs that do not call it (the tests, the tools) import the DLLs as
// usual and never see the hook.

namespace {
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// Whether SetDefaultDllDirectories took effect, and so whether the
// LOAD_LIBRARY_SEARCH_* flags are understood.
bool g_searchFlagsAvailable = false;

std::wstring System32Path(const char* dllName) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::wstring path(folder, length);
    path += L'\\';
    for (const char* c = dllName; *c != '\0'; ++c) path += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    return path;
}

FARPROC WINAPI LoadFromSystem32(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary) return nullptr;
    return reinterpret_cast<FARPROC>(LoadSystemDll(info->szDll, g_searchFlagsAvailable));
}
}  // namespace

extern "C" {
PfnDliHook __pfnDliNotifyHook2 = &LoadFromSystem32;
}

HMODULE LoadSystemDll(const char* dllName, bool searchFlagsAvailable) {
    const std::wstring path = System32Path(dllName);
    if (path.empty()) return nullptr;
    // Windows 7 without KB2533623 knows no LOAD_LIBRARY_SEARCH_* flag.
    const DWORD flags = searchFlagsAvailable ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
    return LoadLibraryExW(path.c_str(), nullptr, flags);
}

void RestrictDllSearchToSystem32() {
    // Windows 7 has the function only with KB2533623, so it is looked up.
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    g_searchFlagsAvailable = setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!g_searchFlagsAvailable) SetDllDirectoryW(L"");
}
