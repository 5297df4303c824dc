#include "transfer/transfer_session_win.h"

#include "base/unique_any.h"

namespace {
constexpr wchar_t kAgent[] = L"QIRAUpdate/1.0";

// WinHTTP hands out its proxy texts for GlobalFree.
void FreeGlobalText(wchar_t* text) { GlobalFree(text); }
using GlobalText = unique_any<wchar_t*, &FreeGlobalText>;

const wchar_t* OrNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }
}  // namespace

CTransferSession::CTransferSession(bool useProxy) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
    const bool haveSettings = useProxy && WinHttpGetIEProxyConfigForCurrentUser(&settings);
    const GlobalText script(haveSettings ? settings.lpszAutoConfigUrl : nullptr);
    const GlobalText proxy(haveSettings ? settings.lpszProxy : nullptr);
    const GlobalText bypass(haveSettings ? settings.lpszProxyBypass : nullptr);
    autoDetect_ = haveSettings && settings.fAutoDetect;
    if (script) autoConfigUrl_ = script.get();

    // The manual proxy, bypass list and "<local>" included, is the session's
    // named proxy. The default and automatic access types are no way to get
    // the user's settings: Wine accepts them and goes direct whatever the
    // settings say, and the automatic one needs Windows 8.1.
    if (proxy) {
        session_.reset(WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.get(),
                                   bypass ? bypass.get() : WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
    } else {
        session_.reset(WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
    }
    if (session_ && !CHttpRequest::PrepareSession(session_.get())) session_.reset();
    if (!session_) openError_ = GetLastError();
}

void CTransferSession::ApplyProxy(HINTERNET request, const std::wstring& url, const std::wstring& serverKey) {
    if (!autoDetect_ && autoConfigUrl_.empty()) return;
    std::optional<FoundProxy> found;
    {
        const std::lock_guard<std::mutex> hold(foundLock_);
        const auto known = foundByServer_.find(serverKey);
        found = known != foundByServer_.end() ? known->second : (foundByServer_[serverKey] = FindProxy(url));
    }
    if (!found) return;
    WINHTTP_PROXY_INFO info{found->AccessType, const_cast<wchar_t*>(OrNull(found->Proxy)),
                            const_cast<wchar_t*>(OrNull(found->Bypass))};
    WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof(info));
}

std::optional<CTransferSession::FoundProxy> CTransferSession::FindProxy(const std::wstring& url) {
    // The search blocks, so it gets a synchronous session of its own.
    if (!finder_) {
        finder_.reset(
            WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
        if (!finder_) return std::nullopt;
    }
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (autoDetect_) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (!autoConfigUrl_.empty()) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = autoConfigUrl_.c_str();
    }
    WINHTTP_PROXY_INFO info{};
    // Credentials only when the script's server asks for them, as WinHTTP's
    // documentation advises.
    BOOL ok = WinHttpGetProxyForUrl(finder_.get(), url.c_str(), &options, &info);
    if (!ok && GetLastError() == ERROR_WINHTTP_LOGIN_FAILURE) {
        options.fAutoLogonIfChallenged = TRUE;
        ok = WinHttpGetProxyForUrl(finder_.get(), url.c_str(), &options, &info);
    }
    if (!ok) return std::nullopt;
    const GlobalText proxy(info.lpszProxy);
    const GlobalText bypass(info.lpszProxyBypass);
    return FoundProxy{info.dwAccessType, proxy ? proxy.get() : L"", bypass ? bypass.get() : L""};
}
