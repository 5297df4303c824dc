#include "transfer/transfer_session_win.h"

#include "base/unique_any.h"

namespace {
constexpr wchar_t kAgent[] = L"QIRAUpdate/1.0";

// WinHTTP hands out its proxy texts for GlobalFree.
void FreeGlobalText(wchar_t* text) { GlobalFree(text); }
using GlobalText = unique_any<wchar_t*, &FreeGlobalText>;

UniqueInternet Open(DWORD access, const wchar_t* proxy = WINHTTP_NO_PROXY_NAME,
                    const wchar_t* bypass = WINHTTP_NO_PROXY_BYPASS) {
    return UniqueInternet(WinHttpOpen(kAgent, access, proxy, bypass, 0));
}
}  // namespace

CTransferSession::CTransferSession(bool useProxy) {
    if (!useProxy) {
        session_ = Open(WINHTTP_ACCESS_TYPE_NO_PROXY);
        return;
    }
    // Windows 8.1 and later resolve the system's proxy, scripts included,
    // for every request by themselves; earlier systems reject this type.
    session_ = Open(WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY);
    if (session_) return;

    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
    if (WinHttpGetIEProxyConfigForCurrentUser(&settings)) {
        const GlobalText script(settings.lpszAutoConfigUrl);
        const GlobalText proxy(settings.lpszProxy);
        const GlobalText bypass(settings.lpszProxyBypass);
        autoDetect_ = settings.fAutoDetect != FALSE;
        if (script) autoConfigUrl_ = script.get();
        if (proxy) {
            session_ = Open(WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.get(), bypass ? bypass.get() : WINHTTP_NO_PROXY_BYPASS);
        }
    }
    if (!session_) session_ = Open(WINHTTP_ACCESS_TYPE_NO_PROXY);
}

void CTransferSession::ApplyScriptedProxy(HINTERNET request, const std::wstring& url) const {
    if (!autoDetect_ && autoConfigUrl_.empty()) return;
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (!autoConfigUrl_.empty()) {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = autoConfigUrl_.c_str();
    } else {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO found{};
    if (!WinHttpGetProxyForUrl(session_.get(), url.c_str(), &options, &found)) return;  // go direct
    const GlobalText proxy(found.lpszProxy);
    const GlobalText bypass(found.lpszProxyBypass);
    WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &found, sizeof(found));
}
