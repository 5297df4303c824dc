#pragma once
// The WinHTTP session of one transfer component: asynchronous, so that a
// request can be cancelled, and with the proxy that the user's settings
// (Internet Options) ask for. UseProxy off means no proxy at all.
#include "transfer/http_request_win.h"
#include "transfer/winhttp_handle_win.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>

class CTransferSession {
public:
    explicit CTransferSession(bool useProxy);

    HINTERNET Handle() const { return session_.get(); }
    // Why there is no session handle: the error of its opening.
    DWORD OpenError() const { return openError_; }
    CHttpRequest::StatePool& RequestStates() { return requestStates_; }

    // When the user's settings ask for automatic detection or name a
    // configuration script, sets the proxy that it gives for `url` on the
    // request. The answer is asked once per server (`serverKey`) and kept:
    // scripts decide by host, and running one per file would cost a
    // download of the script each time. When neither finds anything, the
    // session's own choice stands: the manual proxy, or none.
    void ApplyProxy(HINTERNET request, const std::wstring& url, const std::wstring& serverKey);

private:
    struct FoundProxy {
        DWORD AccessType = WINHTTP_ACCESS_TYPE_NO_PROXY;
        std::wstring Proxy;
        std::wstring Bypass;
    };
    std::optional<FoundProxy> FindProxy(const std::wstring& url);

    UniqueInternet session_;
    DWORD openError_ = 0;
    CHttpRequest::StatePool requestStates_;
    bool autoDetect_ = false;
    std::wstring autoConfigUrl_;
    std::mutex foundLock_;
    UniqueInternet finder_;                                         // guarded by foundLock_
    std::map<std::wstring, std::optional<FoundProxy>> foundByServer_;  // guarded by foundLock_
};
