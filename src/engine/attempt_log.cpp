#include "engine/attempt_log.h"

std::string DescribeAttempt(const TransferAttempt& attempt) {
    std::string text = attempt.RemoteName + " from " + attempt.Server + ": ";
    switch (attempt.End) {
    case AttemptEnd::Fetched: text += attempt.Converted ? "applied" : "fetched"; break;
    case AttemptEnd::Cancelled: text += "cancelled"; break;
    case AttemptEnd::Failed: text += DescribeFailure(attempt.Why); break;
    }
    std::string details;
    if (attempt.Bytes != 0) details = std::to_string(attempt.Bytes) + " bytes";
    if (attempt.Resumed) details += (details.empty() ? "" : ", ") + std::string("resumed");
    return details.empty() ? text : text + " [" + details + "]";
}

void CAttemptLog::Observe(const TransferAttempt& attempt) {
    bytes_ += attempt.Bytes;
    // Converted forms are patches: each one used, and each that was not and why, is part of the story.
    if (attempt.Converted && attempt.End != AttemptEnd::Cancelled) {
        const bool used = attempt.End == AttemptEnd::Fetched;
        log_.Write("patch: " + DescribeAttempt(attempt) + (used ? "" : "; the file travels as .gz or plain instead"));
        return;
    }
    // A file fetched at the first go is the rule, and a release may have
    // thousands: only the exceptions get a line. A cancelled attempt is the
    // echo of another one's failure, or of the user's stop.
    const bool exception = attempt.End == AttemptEnd::Failed || (attempt.End == AttemptEnd::Fetched && attempt.Resumed);
    if (exception) log_.Write("transfer: " + DescribeAttempt(attempt));
}
