#pragma once
#include <windows.h>
// Update.exe lives in a folder that a release (or any local program) can
// write to, and Windows looks for a DLL that is not a known DLL in the
// program's own folder first. So the system DLLs that are not known DLLs
// everywhere (winhttp, bcrypt, gdiplus) are delay-loaded, and this module
// loads them from System32 alone; docs/dll-loading.md has the whole table.

// Restricts the process's DLL search to System32 where Windows allows it
// (Windows 8 and later, Windows 7 with KB2533623), and otherwise drops the
// current folder from it. The entry point calls it before anything else.
void RestrictDllSearchToSystem32();

// What the delay-load hook does for each of those DLLs: loads it by its
// full System32 path, with its own imports taken from System32 as well,
// through LOAD_LIBRARY_SEARCH_SYSTEM32 when searchFlagsAvailable, else
// through the altered search order (which starts in the DLL's folder
// instead of the program's). Null when it cannot be loaded.
HMODULE LoadSystemDll(const char* dllName, bool searchFlagsAvailable);
