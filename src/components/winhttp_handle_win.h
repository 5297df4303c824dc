#pragma once
// Owning wrapper of WinHTTP session, connection and request handles.
#include <windows.h>
#include <winhttp.h>

#include <memory>
#include <type_traits>

struct InternetCloser {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using UniqueInternet = std::unique_ptr<std::remove_pointer_t<HINTERNET>, InternetCloser>;
