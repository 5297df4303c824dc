#include "transfer/server_fetch_win.h"

#include "base/gbk_text.h"
#include "transfer/http_answer_win.h"
#include "transfer/http_request_win.h"
#include "transfer/partial_file_win.h"
#include "transfer/range_resume.h"
#include "transfer/response_body_win.h"
#include "transfer/transfer_rules.h"

#include <memory>
#include <optional>
#include <vector>

namespace {
// Smaller files are simply fetched again after a failure.
constexpr uint64_t kResumableBytes = 1024 * 1024;

// Where the partial download of a file continues: its own path, or that of
// its compressed form.
std::string PartialPathOf(const FileToFetch& file) {
    return file.Compressed ? file.KeptPath : file.LocalPath;
}

std::unique_ptr<CBodySink> Observed(std::unique_ptr<CBodySink> body, const FileToFetch& file) {
    if (file.Written) body->Observe(file.Written);
    return body;
}

template <typename Start>
std::unique_ptr<CBodySink> OpenBody(const FileToFetch& file, const Start& start) {
    if (file.Compressed) {
        return Observed(std::make_unique<CDecodedBody>(file.LocalPath, file.KeptPath, *file.Compressed, start), file);
    }
    return Observed(std::make_unique<CPlainBody>(file.LocalPath, start), file);
}

std::unique_ptr<CBodySink> OpenContinuedBody(const FileToFetch& file, const JobCancelled& cancelled) {
    if (file.Compressed) {
        return Observed(std::make_unique<CDecodedBody>(file.LocalPath, file.KeptPath, *file.Compressed,
                                                       CPartialFile::Continued{}, cancelled),
                        file);
    }
    return Observed(std::make_unique<CPlainBody>(file.LocalPath, CPartialFile::Continued{}), file);
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
    CHttpRequest request(session_.RequestStates(), connection_, file_.Path, IsSecure(server_));
    if (!request) return End(AttemptVerdict::NotHere, FailureKind::Connect, GetLastError());
    PrepareRequest(session_, request, server_, file_.Path);

    std::wstring headers;
    if (point) {
        headers = L"Range: bytes=" + std::to_wstring(point->Offset) + L"-\r\nIf-Range: " +
                  Widen(point->Info.Validator) + L"\r\n";
    }
    const StepResult step = SendAndReceive(request, headers, limits_, cancelled_);
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
    if (step.Status == StepStatus::Cancelled) return Cancelled();
    StepVerdict ended = VerdictOfFailedStep(step, beforeAnswer);
    return End(ended.Verdict, std::move(ended.Why));
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
    BodyStatus written = BodyStatus::Ok;
    uint64_t fresh = 0;
    const BodyOutcome outcome =
        ReadBody(request, limits_, cancelled_, total, file_.SizeLimit, received, fresh, [&](const char* data, size_t size) {
            written = body.Write(data, size);
            progress_.Received = received;
            return written == BodyStatus::Ok;
        });
    attempt_.Bytes = fresh;
    switch (outcome.End) {
    case BodyEnd::Complete:
        break;
    case BodyEnd::Cancelled:
        return Cancelled();
    case BodyEnd::TooSlow:
        return End(AttemptVerdict::ServerDown, FailureKind::TooSlow);
    case BodyEnd::StepFailed:
        return EndOfStep(outcome.Step, false);
    case BodyEnd::Refused:
        return EndOfBody(written);
    case BodyEnd::OverLimit:
        return TooLarge();
    case BodyEnd::LongerThanAnnounced:
        return BodyNotAsAnnounced();
    }
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
