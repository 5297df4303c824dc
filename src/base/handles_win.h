#pragma once
// The kernel, file-search, registry and memory handles of the updater, each
// owned by a unique_any of its kind.
#include "base/unique_any.h"

#include <windows.h>

struct InvalidHandleValue {
    static HANDLE value() { return INVALID_HANDLE_VALUE; }
};

namespace handle_close {
inline void Handle(HANDLE handle) { CloseHandle(handle); }
inline void Find(HANDLE handle) { FindClose(handle); }
inline void RegistryKey(HKEY key) { RegCloseKey(key); }
inline void LocalMemory(void* memory) { LocalFree(memory); }
}  // namespace handle_close

// Threads, events, processes, mutexes: null means none.
using UniqueHandle = unique_any<HANDLE, &handle_close::Handle>;
// CreateFile's result: INVALID_HANDLE_VALUE means none.
using UniqueFile = unique_any<HANDLE, &handle_close::Handle, InvalidHandleValue>;
// FindFirstFile's result: INVALID_HANDLE_VALUE means none.
using UniqueFind = unique_any<HANDLE, &handle_close::Find, InvalidHandleValue>;
using UniqueRegistryKey = unique_any<HKEY, &handle_close::RegistryKey>;

// Memory that a function hands out for LocalFree (CommandLineToArgvW, FormatMessage).
template <typename Pointer>
using UniqueLocalMemory = unique_any<Pointer, &handle_close::LocalMemory>;
