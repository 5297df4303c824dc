#include "transfer/transfer_win.h"

#include "transfer/content_length.h"
#include "transfer/partial_file_win.h"
#include "transfer/progress_throttle.h"
#include "transfer/remote_url.h"
#include "transfer/transfer_session_win.h"
#include "base/wide_text_win.h"

#include <limits>
#include <optional>
#include <string_view>

namespace {
constexpr DWORD kReadSize = 64 * 1024;
constexpr uint64_t kManifestLimit = 64ull * 1024 * 1024;
constexpr INTERNET_PORT kHttpsPort = 443;

enum class Outcome {
    Fetched,
    StaleConnection,  // may be the kept-alive connection's fault: worth one more try
    ServerFailed,     // try the next server
    Abandoned,        // no server can help: the caller's window or local file is the problem
};

// A kept-alive connection that the server closed meanwhile, or that still
// holds the surplus of a response longer than announced, fails the next
// request before its response: a fresh connection deserves one try.
bool MayBeStaleConnection(DWORD error) {
    return error == ERROR_WINHTTP_INVALID_SERVER_RESPONSE || error == ERROR_WINHTTP_CONNECTION_ERROR ||
           error == ERROR_WINHTTP_RESEND_REQUEST;
}

bool EqualsIgnoringCase(const std::wstring& text, const wchar_t* other) {
    return CompareStringOrdinal(text.c_str(), -1, other, -1, TRUE) == CSTR_EQUAL;
}

bool IsManifest(std::string_view name) {
    const std::wstring wide = Widen(name);
    return EqualsIgnoringCase(wide, L"UpdateConfig.ini") || EqualsIgnoringCase(wide, L"config.ini");
}

std::optional<DWORD> QueryStatus(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                             &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        return std::nullopt;
    }
    return status;
}

std::optional<std::wstring> QueryText(HINTERNET request, DWORD query) {
    wchar_t text[64];
    DWORD size = sizeof(text);
    if (!WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, text, &size, WINHTTP_NO_HEADER_INDEX)) {
        return std::nullopt;
    }
    return std::wstring(text, size / sizeof(wchar_t));
}

// The body's announced length; nullopt when it has none or an unusable one.
// A chunked body ends with its own terminator; only a body that simply runs
// to the connection's end could be cut short unnoticed, so it is refused.
struct BodyLength {
    bool acceptable = false;
    std::optional<uint64_t> total;
};

BodyLength QueryBodyLength(HINTERNET request) {
    if (const auto length = QueryText(request, WINHTTP_QUERY_CONTENT_LENGTH)) {
        const auto value = ParseContentLength(Narrow(*length));
        return {value.has_value(), value};
    }
    const auto coding = QueryText(request, WINHTTP_QUERY_TRANSFER_ENCODING);
    const bool chunked = coding && EqualsIgnoringCase(*coding, L"chunked");
    return {chunked, std::nullopt};
}

class CNotifier {
public:
    CNotifier(HWND window, UINT message) : window_(message ? window : nullptr), message_(message) {}

    // False when the window that asked for notifications is gone: nobody
    // waits for this transfer any more.
    bool StillWanted() const { return !window_ || IsWindow(window_); }

    // Sent, not posted: the receiver handles each notice before the transfer
    // goes on, so the notices arrive in order and the handler of the last
    // completion may run the whole install while this thread waits.
    void Send(uint64_t received, uint64_t total) const {
        if (window_) SendMessageW(window_, message_, static_cast<WPARAM>(received), static_cast<LPARAM>(total));
    }

private:
    HWND window_;
    UINT message_;
};
}  // namespace

struct CQIRAUpdateIntf::Impl {
    Impl(const std::vector<S_UpdateSerivceAddr>& list, bool useProxy)
        : servers(list), connections(list.size()), session(useProxy) {
        ApplyTimeouts();
    }

    void ApplyTimeouts() {
        WinHttpSetTimeouts(session.Handle(), 0, static_cast<int>(connectMillis), static_cast<int>(dataMillis),
                           static_cast<int>(dataMillis));
        // Waiting for the response's headers has its own time-out (90 s by default).
        DWORD headersMillis = dataMillis;
        WinHttpSetOption(session.Handle(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersMillis, sizeof(headersMillis));
    }

    // One connection handle per server for the component's life: WinHTTP
    // keeps the sockets behind it alive between requests.
    HINTERNET Connection(size_t index) {
        if (!connections[index]) {
            const S_UpdateSerivceAddr& server = servers[index];
            connections[index].reset(WinHttpConnect(session.Handle(), Widen(server.Address).c_str(), server.Port, 0));
        }
        return connections[index].get();
    }

    Outcome Fetch(size_t index, const std::wstring& path, const std::string& localPath, bool manifest,
                  const CNotifier& notifier, uint64_t& size);

    std::vector<S_UpdateSerivceAddr> servers;
    std::vector<UniqueInternet> connections;
    CTransferSession session;
    DWORD connectMillis = 15000;
    DWORD dataMillis = 30000;
    std::vector<char> buffer = std::vector<char>(kReadSize);
};

Outcome CQIRAUpdateIntf::Impl::Fetch(size_t index, const std::wstring& path, const std::string& localPath,
                                      bool manifest, const CNotifier& notifier, uint64_t& size) {
    const S_UpdateSerivceAddr& server = servers[index];
    HINTERNET connection = Connection(index);
    if (!connection) return Outcome::ServerFailed;
    const bool secure = server.Port == kHttpsPort;
    // The path arrives percent-encoded already; WinHTTP must not encode it again.
    const UniqueInternet request(WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                                    WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                    WINHTTP_FLAG_ESCAPE_DISABLE | (secure ? WINHTTP_FLAG_SECURE : 0)));
    if (!request) return Outcome::ServerFailed;
    // A redirect is a server fault here, and following one could loop.
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof(noRedirects));
    // Also per request: not every WinHTTP takes this one from the session.
    DWORD headersMillis = dataMillis;
    WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersMillis, sizeof(headersMillis));
    session.ApplyScriptedProxy(request.get(), (secure ? L"https://" : L"http://") + Widen(server.Address) + L":" +
                                                  std::to_wstring(server.Port) + path);

    if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        return MayBeStaleConnection(GetLastError()) ? Outcome::StaleConnection : Outcome::ServerFailed;
    }
    if (QueryStatus(request.get()) != HTTP_STATUS_OK) return Outcome::ServerFailed;
    const BodyLength length = QueryBodyLength(request.get());
    const uint64_t limit = manifest ? kManifestLimit : static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
    if (!length.acceptable || (length.total && *length.total > limit)) return Outcome::ServerFailed;

    CPartialFile body(localPath);
    if (!body.IsOpen()) return Outcome::Abandoned;
    const uint64_t total = length.total.value_or(0);
    CProgressThrottle throttle(total, GetTickCount64());
    uint64_t received = 0;
    for (;;) {
        if (!notifier.StillWanted()) return Outcome::Abandoned;
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), buffer.data(), kReadSize, &read)) return Outcome::ServerFailed;
        if (read == 0) break;
        received += read;
        if (received > limit || (length.total && received > total)) return Outcome::ServerFailed;
        if (!body.Write(buffer.data(), read)) return Outcome::Abandoned;
        if (throttle.IsDue(received, GetTickCount64())) notifier.Send(received, total);
    }
    if (length.total && received != total) return Outcome::ServerFailed;
    if (!notifier.StillWanted() || !body.Commit()) return Outcome::Abandoned;
    size = received;
    notifier.Send(received, received);
    return Outcome::Fetched;
}

CQIRAUpdateIntf::CQIRAUpdateIntf(const std::vector<S_UpdateSerivceAddr>& servers, bool useProxy)
    : impl_(std::make_unique<Impl>(servers, useProxy)) {}

CQIRAUpdateIntf::~CQIRAUpdateIntf() = default;

void CQIRAUpdateIntf::SetTimeouts(DWORD connectMillis, DWORD dataMillis) {
    impl_->connectMillis = connectMillis;
    impl_->dataMillis = dataMillis;
    impl_->ApplyTimeouts();
}

int32_t CQIRAUpdateIntf::GetRemoteFile(uint32_t type, const std::string& remoteName, const std::string& localPath,
                                       HWND notifyWindow, UINT notifyMessage) {
    if (!impl_->session.Handle()) return -1;
    const std::wstring path = Widen(BuildRemotePath(type, remoteName));
    const bool manifest = IsManifest(remoteName);
    const CNotifier notifier(notifyWindow, notifyMessage);
    for (size_t index = 0; index < impl_->servers.size(); ++index) {
        const S_UpdateSerivceAddr& server = impl_->servers[index];
        // Port 0 is a missing setting, not WinHTTP's "default port".
        if (server.Address.empty() || server.Port == 0) continue;
        uint64_t size = 0;
        Outcome outcome = impl_->Fetch(index, path, localPath, manifest, notifier, size);
        if (outcome == Outcome::StaleConnection) outcome = impl_->Fetch(index, path, localPath, manifest, notifier, size);
        switch (outcome) {
        case Outcome::Fetched:
            return static_cast<int32_t>(size);
        case Outcome::Abandoned:
            return -1;
        case Outcome::StaleConnection:
        case Outcome::ServerFailed:
            break;
        }
    }
    return -1;
}
