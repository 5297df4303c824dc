#pragma once
// Owning wrapper of WinHTTP session, connection and request handles.
#include "base/unique_any.h"

#include <windows.h>
#include <winhttp.h>

namespace winhttp_close {
inline void Internet(HINTERNET handle) { WinHttpCloseHandle(handle); }
}  // namespace winhttp_close

using UniqueInternet = unique_any<HINTERNET, &winhttp_close::Internet>;
