#include "engine/attempt_log.h"

std::string DescribeAttempt(const TransferAttempt& attempt) {
    std::string details;
    const auto add = [&](const std::string& part) { details += (details.empty() ? "" : ", ") + part; };
    if (attempt.HttpStatus != 0) add("HTTP " + std::to_string(attempt.HttpStatus));
    if (attempt.Error != 0) add("error " + std::to_string(attempt.Error));
    if (attempt.Bytes != 0) add(std::to_string(attempt.Bytes) + " bytes");
    if (attempt.Resumed) add("resumed");
    return attempt.RemoteName + " from " + attempt.Server + ": " + AttemptOutcomeName(attempt.Outcome) +
           (details.empty() ? std::string() : " (" + details + ")");
}

void CAttemptLog::Observe(const TransferAttempt& attempt) {
    bytes_ += attempt.Bytes;
    // A file fetched at the first go is the rule, and a release may have
    // thousands: only the exceptions get a line. A cancelled attempt is the
    // echo of another one's failure, or of the user's stop.
    const bool exception = attempt.Outcome != AttemptOutcome::Fetched || attempt.Resumed;
    if (exception && attempt.Outcome != AttemptOutcome::Cancelled) log_.Write("transfer: " + DescribeAttempt(attempt));
}
