#include "transfer/http_answer_win.h"

#include "base/gbk_text.h"

#include <vector>

namespace {
// Longer header values (an ETag, a date, a range) are no use to us.
constexpr DWORD kHeaderTextLimit = 1024;

uint64_t MicrosNow() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<uint64_t>(now.QuadPart / frequency.QuadPart * 1000000 +
                                 now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart);
}

// The time WinHTTP's steps may take from now, and the test that makes them give up.
StepLimits Within(DWORD millis, const std::function<bool()>& giveUp) { return {GetTickCount64() + millis, &giveUp}; }

bool EqualsIgnoringCase(const std::wstring& text, const wchar_t* other) {
    return CompareStringOrdinal(text.c_str(), -1, other, -1, TRUE) == CSTR_EQUAL;
}

bool IsTlsError(DWORD error) {
    switch (error) {
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
        return true;
    default:
        return false;
    }
}

bool IsProxyError(DWORD error) {
    return error == ERROR_WINHTTP_AUTO_PROXY_SERVICE_ERROR || error == ERROR_WINHTTP_BAD_AUTO_PROXY_SCRIPT ||
           error == ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT || error == ERROR_WINHTTP_AUTODETECTION_FAILED;
}

// A server that was reached but whose answer broke off or made no sense:
// not a connection that failed.
bool IsBrokenAnswer(DWORD error) {
    return error == ERROR_WINHTTP_INVALID_SERVER_RESPONSE || error == ERROR_WINHTTP_CONNECTION_ERROR ||
           error == ERROR_WINHTTP_RESEND_REQUEST || error == ERROR_WINHTTP_INVALID_HEADER ||
           error == ERROR_WINHTTP_HEADER_NOT_FOUND;
}
}  // namespace

FailureKind KindOfNetworkError(DWORD error) {
    if (IsTimeOut(error)) return FailureKind::TimedOut;
    if (IsTlsError(error)) return FailureKind::Tls;
    if (IsProxyError(error)) return FailureKind::Proxy;
    if (IsBrokenAnswer(error)) return FailureKind::BrokenBody;
    return FailureKind::Connect;
}

bool MayBeStaleConnection(DWORD error) {
    return error == ERROR_WINHTTP_INVALID_SERVER_RESPONSE || error == ERROR_WINHTTP_CONNECTION_ERROR ||
           error == ERROR_WINHTTP_RESEND_REQUEST;
}

bool IsTimeOut(DWORD error) { return error == ERROR_WINHTTP_TIMEOUT || error == WSAETIMEDOUT; }

bool MeansServerDown(DWORD error) {
    return error == ERROR_WINHTTP_CANNOT_CONNECT || error == ERROR_WINHTTP_NAME_NOT_RESOLVED ||
           error == ERROR_WINHTTP_TIMEOUT || IsTlsError(error);
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
    DWORD size = 0;
    WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size > kHeaderTextLimit * sizeof(wchar_t)) return std::nullopt;
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1);
    if (!WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size, WINHTTP_NO_HEADER_INDEX)) {
        return std::nullopt;
    }
    return std::wstring(text.data(), size / sizeof(wchar_t));
}

std::string QueryAscii(HINTERNET request, DWORD query) {
    const auto text = QueryText(request, query);
    return text ? Narrow(*text) : std::string();
}

BodyLength QueryBodyLength(HINTERNET request) {
    if (const auto length = QueryText(request, WINHTTP_QUERY_CONTENT_LENGTH)) {
        const auto value = ParseContentLength(Narrow(*length));
        return {value.has_value(), value};
    }
    const auto coding = QueryText(request, WINHTTP_QUERY_TRANSFER_ENCODING);
    const bool chunked = coding && EqualsIgnoringCase(*coding, L"chunked");
    return {chunked, std::nullopt};
}

StepVerdict VerdictOfFailedStep(const StepResult& step, bool beforeAnswer) {
    const bool timedOut = step.Status == StepStatus::TimedOut || (step.Status == StepStatus::Failed && IsTimeOut(step.Error));
    if (timedOut) return {AttemptVerdict::ServerDown, Failure{FailureKind::TimedOut, step.Error}};
    if (step.Status != StepStatus::Failed) return {AttemptVerdict::NotHere, Failure{FailureKind::Connect, step.Error}};
    if (beforeAnswer && MayBeStaleConnection(step.Error)) {
        return {AttemptVerdict::Stale, Failure{KindOfNetworkError(step.Error), step.Error}};
    }
    return {MeansServerDown(step.Error) ? AttemptVerdict::ServerDown : AttemptVerdict::NotHere,
            Failure{KindOfNetworkError(step.Error), step.Error}};
}

void PrepareRequest(CTransferSession& session, const CHttpRequest& request, const S_UpdateSerivceAddr& server,
                    const std::wstring& path) {
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(request.Handle(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof(noRedirects));
    const bool secure = IsSecure(server);
    const std::wstring name = Widen(ServerName(server));
    session.ApplyProxy(request.Handle(), (secure ? L"https://" : L"http://") + name + path, name);
}

StepResult SendAndReceive(CHttpRequest& request, const std::wstring& headers, const TransferLimits& limits,
                          const JobCancelled& cancelled) {
    StepResult step = request.Send(headers, Within(limits.ConnectMillis + limits.IdleMillis, cancelled));
    if (step.Status == StepStatus::Done) step = request.ReceiveResponse(Within(limits.IdleMillis, cancelled));
    return step;
}

BodyOutcome ReadBody(CHttpRequest& request, const TransferLimits& limits, const JobCancelled& cancelled,
                     std::optional<uint64_t> total, uint64_t limit, uint64_t& received, uint64_t& fresh,
                     const std::function<bool(const char* data, size_t size)>& consume) {
    CSpeedFloor floor(limits.FloorWindowMillis, limits.FloorBytesPerSecond, GetTickCount64());
    CReadPacing pacing(CHttpRequest::kMaxReadBytes);
    const uint64_t freshBefore = fresh;
    bool tooSlow = false;
    // Asked while a read waits too: a server that sends nothing is judged
    // at the end of the floor's window, not only when data comes.
    const std::function<bool()> giveUp = [&] {
        if (cancelled()) return true;
        tooSlow = !floor.Holds(fresh - freshBefore, GetTickCount64());
        return tooSlow;
    };
    while (!total || received < *total) {
        if (cancelled()) return {BodyEnd::Cancelled, {}};
        DWORD read = 0;
        const uint32_t wanted = pacing.Next();
        const uint64_t started = MicrosNow();
        const StepResult step = request.Read(read, wanted, Within(limits.IdleMillis, giveUp));
        pacing.Record(wanted, read, MicrosNow() - started);
        if (step.Status == StepStatus::Cancelled && tooSlow) return {BodyEnd::TooSlow, step};
        if (step.Status != StepStatus::Done) return {BodyEnd::StepFailed, step};
        if (read == 0) break;
        received += read;
        fresh += read;
        if (received > limit) return {BodyEnd::OverLimit, {}};
        if (total && received > *total) return {BodyEnd::LongerThanAnnounced, {}};
        if (!consume(request.Data(), read)) return {BodyEnd::Refused, {}};
        if (!floor.Holds(fresh - freshBefore, GetTickCount64())) return {BodyEnd::TooSlow, {}};
    }
    if (total && received != *total) return {BodyEnd::LongerThanAnnounced, {}};
    if (cancelled()) return {BodyEnd::Cancelled, {}};
    return {};
}
