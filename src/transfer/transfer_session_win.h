#pragma once
// The WinHTTP session of one transfer component, with its proxy choice:
// none, or the system's proxy settings.
#include "transfer/winhttp_handle_win.h"

#include <string>

class CTransferSession {
public:
    explicit CTransferSession(bool useProxy);

    HINTERNET Handle() const { return session_.get(); }
    // Sets the proxy of one request when the user's settings name a proxy
    // script or ask for detection, which the session cannot apply by itself.
    void ApplyScriptedProxy(HINTERNET request, const std::wstring& url) const;

private:
    UniqueInternet session_;
    bool autoDetect_ = false;
    std::wstring autoConfigUrl_;
};
