#include "transfer/pack_fetch_win.h"

#include "base/gbk_text.h"
#include "transfer/http_answer_win.h"
#include "transfer/multipart_reader.h"
#include "transfer/range_resume.h"

#include <optional>

namespace {
constexpr DWORD kBadRequest = 400;
constexpr DWORD kContentTooLarge = 413;
constexpr DWORD kHeaderFieldsTooLarge = 431;
constexpr DWORD kNotImplemented = 501;
// What a multipart answer carries besides the bytes asked: each part's
// delimiter and headers, and the preamble and close delimiter.
constexpr uint64_t kPartOverheadBytes = 512;
constexpr uint64_t kAnswerOverheadBytes = 2048;

uint64_t AskedBytes(const std::vector<ByteRange>& ranges) {
    uint64_t bytes = 0;
    for (const ByteRange& range : ranges) bytes += range.Last - range.First + 1;
    return bytes;
}

class CPackAttempt {
public:
    CPackAttempt(CTransferSession& session, HINTERNET connection, const S_UpdateSerivceAddr& server,
                 const std::wstring& path, const PackRequest& request, const TransferLimits& limits,
                 CMemberStream::Receiver& receiver, const PackAnswered& answered, const JobCancelled& cancelled)
        : session_(session), connection_(connection), server_(server), path_(path), request_(request),
          limits_(limits), receiver_(receiver), answered_(answered), cancelled_(cancelled) {
        attempt_.Server = ServerName(server);
        attempt_.RemoteName = request.Pack;
        attempt_.Ranges = request.Whole ? 0 : request.Plan.Ranges.size();
    }

    PackAttemptResult Run();

private:
    PackAttemptResult End(AttemptVerdict verdict, Failure why) {
        attempt_.End = AttemptEnd::Failed;
        if (ClassOf(why.Kind) != FailureClass::Local) why.HttpStatus = httpStatus_;
        attempt_.Why = std::move(why);
        return {verdict, attempt_};
    }
    PackAttemptResult Refused(const std::string& why) {
        return End(AttemptVerdict::NotHere, Failure{FailureKind::Unreadable, 0, 0, why});
    }
    PackAttemptResult EndOfStep(const StepResult& step, bool beforeAnswer);
    PackAttemptResult EndOfBody(const BodyOutcome& outcome, CMultipartReader* reader, bool refusedByReader);
    // What the status and headers say the server does with ranges; nothing
    // when the answer is down to the server or the network instead.
    std::optional<RangeAnswer> Classify(CHttpRequest& request, std::optional<std::string>& boundary,
                                        std::optional<ByteRange>& onePart) const;

    CTransferSession& session_;
    HINTERNET connection_;
    const S_UpdateSerivceAddr& server_;
    const std::wstring& path_;
    const PackRequest& request_;
    const TransferLimits& limits_;
    CMemberStream::Receiver& receiver_;
    const PackAnswered& answered_;
    const JobCancelled& cancelled_;
    TransferAttempt attempt_;
    DWORD httpStatus_ = 0;
};

std::optional<RangeAnswer> CPackAttempt::Classify(CHttpRequest& request, std::optional<std::string>& boundary,
                                                  std::optional<ByteRange>& onePart) const {
    const size_t ranges = request_.Plan.Ranges.size();
    switch (httpStatus_) {
    case HTTP_STATUS_PARTIAL_CONTENT:
        if (request_.Whole) return RangeAnswer::NoRanges;
        boundary = ByteRangesBoundary(QueryAscii(request.Handle(), WINHTTP_QUERY_CONTENT_TYPE));
        if (boundary) return ranges > 1 ? RangeAnswer::ManyParts : RangeAnswer::OnePart;
        if (const auto range = ParseContentRange(QueryAscii(request.Handle(), WINHTTP_QUERY_CONTENT_RANGE))) {
            onePart = ByteRange{range->First, range->Last};
            // A range nobody asked for is a server that cannot be trusted with ranges.
            if (!CoversOnlyAsked(request_.Plan.Ranges, *onePart)) return RangeAnswer::NoRanges;
            return ranges > 1 ? RangeAnswer::FirstRangeOnly : RangeAnswer::OnePart;
        }
        return RangeAnswer::NoRanges;
    case HTTP_STATUS_OK:
        return RangeAnswer::WholeFile;
    case kBadRequest:
    case kContentTooLarge:
    case kRangeNotSatisfiable:
    case kHeaderFieldsTooLarge:
        return ranges > 1 ? RangeAnswer::TooManyRanges : RangeAnswer::NoRanges;
    case kNotImplemented:
        return RangeAnswer::NoRanges;
    default:
        break;
    }
    if (httpStatus_ == kProxyAuthenticationRequired || (httpStatus_ >= 500 && httpStatus_ < 600)) return std::nullopt;
    return RangeAnswer::NoRanges;
}

PackAttemptResult CPackAttempt::Run() {
    CHttpRequest request(session_.RequestStates(), connection_, path_, IsSecure(server_));
    if (!request) return End(AttemptVerdict::NotHere, Failure{FailureKind::Connect, GetLastError()});
    PrepareRequest(session_, request, server_, path_);
    const std::wstring headers =
        request_.Whole ? std::wstring() : L"Range: " + Widen(RangeHeaderValue(request_.Plan.Ranges)) + L"\r\n";
    const StepResult step = SendAndReceive(request, headers, limits_, cancelled_);
    if (step.Status != StepStatus::Done) return EndOfStep(step, true);
    httpStatus_ = QueryStatus(request.Handle()).value_or(0);

    std::optional<std::string> boundary;
    std::optional<ByteRange> onePart;
    const std::optional<RangeAnswer> answer = Classify(request, boundary, onePart);
    if (!answer) {
        return End(AttemptVerdict::ServerDown, Failure{httpStatus_ == kProxyAuthenticationRequired
                                                           ? FailureKind::Proxy
                                                           : FailureKind::HttpStatus});
    }
    const BodyLength length = QueryBodyLength(request.Handle());
    const CPackSchedule::Answer taken = answered_(*answer, httpStatus_, length.total);
    attempt_.Lesson = taken.Lesson;
    if (taken.Members.empty()) return End(AttemptVerdict::NotHere, Failure{FailureKind::HttpStatus});
    if (!length.acceptable) {
        return End(AttemptVerdict::NotHere, Failure{FailureKind::BrokenBody, 0, 0, "no length and no chunked framing"});
    }

    CMemberStream stream(taken.Members, receiver_);
    uint64_t received = 0;
    uint64_t fresh = 0;
    BodyOutcome outcome;
    if (boundary) {
        const std::vector<ByteRange>& asked = request_.Plan.Ranges;
        const uint64_t limit = AskedBytes(asked) + asked.size() * kPartOverheadBytes + kAnswerOverheadBytes;
        CMultipartReader reader(*boundary, asked, [&](uint64_t at, std::string_view bytes) {
            return stream.Feed(at, bytes);
        });
        bool readerRefused = false;
        outcome = ReadBody(request, limits_, cancelled_, length.total, limit, received, fresh,
                           [&](const char* data, size_t size) {
                               const MultipartStatus status = reader.Feed(std::string_view(data, size));
                               readerRefused = status == MultipartStatus::Malformed;
                               return status == MultipartStatus::NeedsMore || status == MultipartStatus::Finished;
                           });
        stream.Close();
        attempt_.Bytes = fresh;
        return EndOfBody(outcome, &reader, readerRefused);
    }
    // One range, or the whole pack from its first byte.
    const uint64_t first = onePart ? onePart->First : 0;
    const uint64_t limit = onePart ? onePart->Last - onePart->First + 1 : length.total.value_or(0);
    if (length.total != limit) {
        return End(AttemptVerdict::NotHere, Failure{FailureKind::BrokenBody, 0, 0, "not the length of the range"});
    }
    outcome = ReadBody(request, limits_, cancelled_, length.total, limit, received, fresh,
                       [&](const char* data, size_t size) {
                           return stream.Feed(first + received - size, std::string_view(data, size));
                       });
    stream.Close();
    attempt_.Bytes = fresh;
    return EndOfBody(outcome, nullptr, false);
}

PackAttemptResult CPackAttempt::EndOfStep(const StepResult& step, bool beforeAnswer) {
    if (step.Status == StepStatus::Cancelled) {
        attempt_.End = AttemptEnd::Cancelled;
        return {AttemptVerdict::GiveUp, attempt_};
    }
    StepVerdict ended = VerdictOfFailedStep(step, beforeAnswer);
    return End(ended.Verdict, std::move(ended.Why));
}

PackAttemptResult CPackAttempt::EndOfBody(const BodyOutcome& outcome, CMultipartReader* reader,
                                          bool refusedByReader) {
    switch (outcome.End) {
    case BodyEnd::Complete:
        if (reader && reader->Finish() != MultipartStatus::Finished) {
            return Refused(std::string("the ranges answered: ") + reader->Why());
        }
        attempt_.End = AttemptEnd::Fetched;
        return {AttemptVerdict::Fetched, attempt_};
    case BodyEnd::Cancelled:
        attempt_.End = AttemptEnd::Cancelled;
        return {AttemptVerdict::GiveUp, attempt_};
    case BodyEnd::TooSlow:
        return End(AttemptVerdict::ServerDown, Failure{FailureKind::TooSlow});
    case BodyEnd::StepFailed:
        return EndOfStep(outcome.Step, false);
    case BodyEnd::Refused:
        if (refusedByReader) return Refused(std::string("the ranges answered: ") + reader->Why());
        return End(AttemptVerdict::GiveUp, Failure{FailureKind::LocalIo, 0, 0, "a file it carries cannot be stored"});
    case BodyEnd::OverLimit:
        return End(AttemptVerdict::NotHere, Failure{FailureKind::OverLimit, 0, 0, "more than the ranges asked"});
    case BodyEnd::LongerThanAnnounced:
        break;
    }
    return End(AttemptVerdict::NotHere, Failure{FailureKind::BrokenBody, 0, 0, "not the length announced"});
}
}  // namespace

PackAttemptResult FetchPackFromServer(CTransferSession& session, HINTERNET connection, const S_UpdateSerivceAddr& server,
                                      const std::wstring& path, const PackRequest& request, const TransferLimits& limits,
                                      CMemberStream::Receiver& receiver, const PackAnswered& answered,
                                      const JobCancelled& cancelled) {
    return CPackAttempt(session, connection, server, path, request, limits, receiver, answered, cancelled).Run();
}
