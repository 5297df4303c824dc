#include "transfer/server_fetch_win.h"

#include "base/gbk_text.h"
#include "transfer/http_request_win.h"
#include "transfer/partial_file_win.h"
#include "transfer/range_resume.h"
#include "transfer/response_body_win.h"
#include "transfer/transfer_rules.h"

#include <memory>
#include <optional>
#include <vector>

namespace {
constexpr INTERNET_PORT kHttpsPort = 443;
constexpr DWORD kRangeNotSatisfiable = 416;  // not among mingw-w64's winhttp.h names
constexpr DWORD kProxyAuthenticationRequired = 407;
// Smaller files are simply fetched again after a failure.
constexpr uint64_t kResumableBytes = 1024 * 1024;
// Longer header values (an ETag, a date, a range) are no use to us.
constexpr DWORD kHeaderTextLimit = 1024;

uint64_t MicrosNow() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<uint64_t>(now.QuadPart / frequency.QuadPart * 1000000 +
                                 now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart);
}

bool EqualsIgnoringCase(const std::wstring& text, const wchar_t* other) {
    return CompareStringOrdinal(text.c_str(), -1, other, -1, TRUE) == CSTR_EQUAL;
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

// The body's announced length. A chunked body ends with its own
// terminator; only a body that simply runs to the connection's end could be
// cut short unnoticed, so it is refused.
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

// A kept-alive connection that the server closed meanwhile, or that still
// holds the surplus of a response longer than announced, fails the next
// request before its response: a fresh connection deserves one try.
bool MayBeStaleConnection(DWORD error) {
    return error == ERROR_WINHTTP_INVALID_SERVER_RESPONSE || error == ERROR_WINHTTP_CONNECTION_ERROR ||
           error == ERROR_WINHTTP_RESEND_REQUEST;
}

// WinHTTP's own time-outs back up the component's; Wine reports them with
// the socket's code.
bool IsTimeOut(DWORD error) { return error == ERROR_WINHTTP_TIMEOUT || error == WSAETIMEDOUT; }

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

namespace {
// The server cannot be reached or not be trusted: the same holds for the
// next file.
bool MeansServerDown(DWORD error) {
    return error == ERROR_WINHTTP_CANNOT_CONNECT || error == ERROR_WINHTTP_NAME_NOT_RESOLVED ||
           error == ERROR_WINHTTP_TIMEOUT || IsTlsError(error);
}

// Where the partial download of a file continues: its own path, or that of
// its compressed form.
std::string PartialPathOf(const FileToFetch& file) {
    return file.Compressed ? file.KeptPath : file.LocalPath;
}

template <typename Start>
std::unique_ptr<CBodySink> OpenBody(const FileToFetch& file, const Start& start) {
    if (file.Compressed) return std::make_unique<CDecodedBody>(file.LocalPath, file.KeptPath, *file.Compressed, start);
    return std::make_unique<CPlainBody>(file.LocalPath, start);
}

std::unique_ptr<CBodySink> OpenContinuedBody(const FileToFetch& file, const JobCancelled& cancelled) {
    if (file.Compressed) {
        return std::make_unique<CDecodedBody>(file.LocalPath, file.KeptPath, *file.Compressed,
                                              CPartialFile::Continued{}, cancelled);
    }
    return std::make_unique<CPlainBody>(file.LocalPath, CPartialFile::Continued{});
}

class CAttempt {
public:
    CAttempt(CTransferSession& session, HINTERNET connection, const S_UpdateSerivceAddr& server,
             const FileToFetch& file, const TransferLimits& limits, JobProgress& progress,
             const JobCancelled& cancelled)
        : session_(session), connection_(connection), server_(server), file_(file), limits_(limits),
          progress_(progress), cancelled_(cancelled) {
        attempt_.Server = ServerName(server);
        attempt_.RemoteName = file.RemoteName;
    }

    AttemptResult Run(bool mayResume);

private:
    AttemptResult End(AttemptVerdict verdict, Failure why) {
        attempt_.End = AttemptEnd::Failed;
        // The answer's status tells about the server, not about a local file.
        if (ClassOf(why.Kind) != FailureClass::Local) why.HttpStatus = httpStatus_;
        attempt_.Why = std::move(why);
        return {verdict, attempt_, 0};
    }
    AttemptResult End(AttemptVerdict verdict, FailureKind kind, DWORD error = 0) {
        return End(verdict, Failure{kind, error});
    }
    AttemptResult Cancelled() {
        attempt_.End = AttemptEnd::Cancelled;
        return {AttemptVerdict::GiveUp, attempt_, 0};
    }
    AttemptResult EndOfStep(const StepResult& step, bool beforeAnswer);
    AttemptResult Whole(CHttpRequest& request, bool hadPartial);
    AttemptResult Rest(CHttpRequest& request, const ResumePoint& point, CBodySink& body);
    AttemptResult ReceiveBody(CHttpRequest& request, CBodySink& body, uint64_t received,
                              std::optional<uint64_t> total);
    AttemptResult EndOfBody(BodyStatus status);
    AttemptResult BodyNotAsAnnounced() {
        return End(AttemptVerdict::NotHere, Failure{FailureKind::BrokenBody, 0, 0, "not the length announced"});
    }
    // A body larger than the file may be (its listed size, or a limit of
    // the caller's); for a compressed form, larger than listed.
    AttemptResult TooLarge() {
        return End(AttemptVerdict::NotHere,
                   Failure{FailureKind::OverLimit, 0, 0, "more than " + std::to_string(file_.SizeLimit) + " bytes"});
    }
    StepLimits Within(DWORD millis, const std::function<bool()>& giveUp) const {
        return {GetTickCount64() + millis, &giveUp};
    }

    CTransferSession& session_;
    HINTERNET connection_;
    const S_UpdateSerivceAddr& server_;
    const FileToFetch& file_;
    const TransferLimits& limits_;
    JobProgress& progress_;
    const JobCancelled& cancelled_;
    TransferAttempt attempt_;
    DWORD httpStatus_ = 0;  // of the answer, once there is one
};

AttemptResult CAttempt::Run(bool mayResume) {
    progress_.Received = 0;
    progress_.Total = 0;
    const bool secure = server_.Port == kHttpsPort;
    std::optional<ResumePoint> point = mayResume ? FindResumePoint(PartialPathOf(file_)) : std::nullopt;
    // The kept part is made ready before the request: kept compressed bytes
    // are decoded again first, which takes a while for a large file, and a
    // server does not wait long for a client that reads nothing.
    std::unique_ptr<CBodySink> continued;
    if (point) {
        continued = OpenContinuedBody(file_, cancelled_);
        if (cancelled_()) return Cancelled();
        if (continued->OpenStatus() == BodyStatus::Undecodable) {
            // Kept compressed bytes that do not decode are gone now: the whole file, then.
            continued.reset();
            point.reset();
        } else if (continued->OpenStatus() != BodyStatus::Ok) {
            return EndOfBody(continued->OpenStatus());
        }
    }
    CHttpRequest request(session_.RequestStates(), connection_, file_.Path, secure);
    if (!request) return End(AttemptVerdict::NotHere, FailureKind::Connect, GetLastError());
    // A redirect is a server fault here, and following one could loop.
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(request.Handle(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof(noRedirects));
    const std::wstring server = Widen(HostOf(server_)) + L":" + std::to_wstring(server_.Port);
    session_.ApplyProxy(request.Handle(), (secure ? L"https://" : L"http://") + server + file_.Path, server);

    std::wstring headers;
    if (point) {
        headers = L"Range: bytes=" + std::to_wstring(point->Offset) + L"-\r\nIf-Range: " +
                  Widen(point->Info.Validator) + L"\r\n";
    }
    StepResult step = request.Send(headers, Within(limits_.ConnectMillis + limits_.IdleMillis, cancelled_));
    if (step.Status == StepStatus::Done) step = request.ReceiveResponse(Within(limits_.IdleMillis, cancelled_));
    if (step.Status != StepStatus::Done) return EndOfStep(step, true);

    const DWORD status = QueryStatus(request.Handle()).value_or(0);
    httpStatus_ = status;
    if (point && status == HTTP_STATUS_PARTIAL_CONTENT) return Rest(request, *point, *continued);
    continued.reset();  // the partial download is the new answer's to replace
    if (point && status == kRangeNotSatisfiable) {
        return End(AttemptVerdict::WithoutRange, FailureKind::HttpStatus);
    }
    if (status == kProxyAuthenticationRequired) return End(AttemptVerdict::ServerDown, FailureKind::Proxy);
    if (status != HTTP_STATUS_OK) {
        const bool serverError = status >= 500 && status < 600;
        return End(serverError ? AttemptVerdict::ServerDown : AttemptVerdict::NotHere, FailureKind::HttpStatus);
    }
    return Whole(request, point.has_value());
}

AttemptResult CAttempt::EndOfStep(const StepResult& step, bool beforeAnswer) {
    switch (step.Status) {
    case StepStatus::Done:
        break;
    case StepStatus::Cancelled:
        return Cancelled();
    case StepStatus::TimedOut:
        return End(AttemptVerdict::ServerDown, FailureKind::TimedOut, step.Error);
    case StepStatus::Failed:
        if (IsTimeOut(step.Error)) return End(AttemptVerdict::ServerDown, FailureKind::TimedOut, step.Error);
        if (beforeAnswer && MayBeStaleConnection(step.Error)) {
            return End(AttemptVerdict::Stale, KindOfNetworkError(step.Error), step.Error);
        }
        return End(MeansServerDown(step.Error) ? AttemptVerdict::ServerDown : AttemptVerdict::NotHere,
                   KindOfNetworkError(step.Error), step.Error);
    }
    return End(AttemptVerdict::NotHere, FailureKind::Connect, step.Error);
}

// A 200 answer: the whole file, into a partial file that survives a failure
// when the file is large and the answer names a validator to continue it by.
AttemptResult CAttempt::Whole(CHttpRequest& request, bool hadPartial) {
    const BodyLength length = QueryBodyLength(request.Handle());
    if (!length.acceptable) {
        return End(AttemptVerdict::NotHere, Failure{FailureKind::BrokenBody, 0, 0, "no length and no chunked framing"});
    }
    if (length.total && *length.total > file_.SizeLimit) return TooLarge();
    const std::string validator = ChooseRangeValidator(QueryAscii(request.Handle(), WINHTTP_QUERY_ETAG),
                                                       QueryAscii(request.Handle(), WINHTTP_QUERY_LAST_MODIFIED));
    std::unique_ptr<CBodySink> body;
    if (length.total && *length.total >= kResumableBytes && !validator.empty()) {
        body = OpenBody(file_, ResumeInfo{validator, *length.total});
    } else {
        if (hadPartial) DropResumePoint(PartialPathOf(file_));  // the server started over
        body = OpenBody(file_, CPartialFile::Fresh{});
    }
    if (body->OpenStatus() != BodyStatus::Ok) return EndOfBody(body->OpenStatus());
    return ReceiveBody(request, *body, 0, length.total);
}

// A 206 answer to our Range: the rest of the file, which must start where
// the partial file ends and belong to a file of the size it had.
AttemptResult CAttempt::Rest(CHttpRequest& request, const ResumePoint& point, CBodySink& body) {
    const auto range = ParseContentRange(QueryAscii(request.Handle(), WINHTTP_QUERY_CONTENT_RANGE));
    const BodyLength length = QueryBodyLength(request.Handle());
    if (!range || range->First != point.Offset || range->Last + 1 != range->Total || range->Total != point.Info.Total ||
        length.total != range->Total - range->First) {
        return End(AttemptVerdict::WithoutRange,
                   Failure{FailureKind::BrokenBody, 0, 0, "the range answered is not the one asked for"});
    }
    attempt_.Resumed = true;
    return ReceiveBody(request, body, point.Offset, range->Total);
}

AttemptResult CAttempt::EndOfBody(BodyStatus status) {
    // Damage in kept bytes may show only at the stream's checksum: once more
    // from the start of the compressed form before the plain file is asked for.
    if (status == BodyStatus::Undecodable) {
        return End(attempt_.Resumed ? AttemptVerdict::WithoutRange : AttemptVerdict::NotHere,
                   FailureKind::Undecodable);
    }
    // No server can help a local file that cannot be written.
    return End(AttemptVerdict::GiveUp, LastLocalFailure("the download cannot be written"));
}

AttemptResult CAttempt::ReceiveBody(CHttpRequest& request, CBodySink& body, uint64_t received,
                                    std::optional<uint64_t> total) {
    progress_.Total = total.value_or(0);
    progress_.Received = received;
    CSpeedFloor floor(limits_.FloorWindowMillis, limits_.FloorBytesPerSecond, GetTickCount64());
    CReadPacing pacing(CHttpRequest::kMaxReadBytes);
    uint64_t fresh = 0;
    bool tooSlow = false;
    // Asked while a read waits too: a server that sends nothing is judged
    // at the end of the floor's window, not only when data comes.
    const std::function<bool()> giveUp = [&] {
        if (cancelled_()) return true;
        tooSlow = !floor.Holds(fresh, GetTickCount64());
        return tooSlow;
    };
    // With a known length, the body is complete at its last byte: asking
    // for the end as well would cost one more round through WinHTTP.
    while (!total || received < *total) {
        if (cancelled_()) return Cancelled();
        DWORD read = 0;
        const uint32_t wanted = pacing.Next();
        const uint64_t started = MicrosNow();
        const StepResult step = request.Read(read, wanted, Within(limits_.IdleMillis, giveUp));
        pacing.Record(wanted, read, MicrosNow() - started);
        if (step.Status == StepStatus::Cancelled && tooSlow) return End(AttemptVerdict::ServerDown, FailureKind::TooSlow);
        if (step.Status != StepStatus::Done) return EndOfStep(step, false);
        if (read == 0) break;
        received += read;
        fresh += read;
        attempt_.Bytes = fresh;
        if (received > file_.SizeLimit) return TooLarge();
        if (total && received > *total) return BodyNotAsAnnounced();
        if (const BodyStatus written = body.Write(request.Data(), read); written != BodyStatus::Ok) {
            return EndOfBody(written);
        }
        progress_.Received = received;
        if (!floor.Holds(fresh, GetTickCount64())) return End(AttemptVerdict::ServerDown, FailureKind::TooSlow);
    }
    if (total && received != *total) return BodyNotAsAnnounced();
    if (cancelled_()) return Cancelled();
    if (const BodyStatus committed = body.Commit(); committed != BodyStatus::Ok) return EndOfBody(committed);
    attempt_.End = AttemptEnd::Fetched;
    return {AttemptVerdict::Fetched, attempt_, body.CommittedSize(received)};
}
}  // namespace

AttemptResult FetchFromServer(CTransferSession& session, HINTERNET connection, const S_UpdateSerivceAddr& server,
                              const FileToFetch& file, bool mayResume, const TransferLimits& limits,
                              JobProgress& progress, const JobCancelled& cancelled) {
    return CAttempt(session, connection, server, file, limits, progress, cancelled).Run(mayResume);
}
