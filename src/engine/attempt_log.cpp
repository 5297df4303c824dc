#include "engine/attempt_log.h"

namespace {
std::string Plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string DescribeAnswer(const RangeLesson& lesson) {
    const std::string status = "HTTP " + std::to_string(lesson.HttpStatus);
    switch (lesson.Answer) {
    case RangeAnswer::ManyParts: return "206 multipart/byteranges";
    case RangeAnswer::OnePart: return "206 and the range";
    case RangeAnswer::FirstRangeOnly: return "206 and the first range only";
    case RangeAnswer::WholeFile: return "200 and the whole pack";
    case RangeAnswer::TooManyRanges: return status + " (too many ranges)";
    case RangeAnswer::NoRanges: break;
    }
    return lesson.HttpStatus == 206 ? "206 and a range that was not asked for" : status;
}

std::string DescribeRoute(const RangeLesson& lesson) {
    switch (lesson.Route) {
    case PackRoute::Ranges:
        return lesson.MaxRanges == 1 ? "one range per request" : "up to " + std::to_string(lesson.MaxRanges) + " ranges per request";
    case PackRoute::WholePack: return "the whole pack";
    case PackRoute::OnTheirOwn: break;
    }
    return "every packed file on its own";
}
}  // namespace

std::string DescribeRangeLesson(const TransferAttempt& attempt) {
    const RangeLesson& lesson = *attempt.Lesson;
    const std::string asked = lesson.RangesAsked == 0 ? "the whole of " + attempt.RemoteName
                                                      : Plural(lesson.RangesAsked, "range", "ranges") + " of " +
                                                            attempt.RemoteName;
    return "ranges: " + attempt.Server + " answered " + asked + " with " + DescribeAnswer(lesson) +
           ": the run asks it for " + DescribeRoute(lesson);
}

std::string DescribeAttempt(const TransferAttempt& attempt) {
    std::string text = attempt.RemoteName + (attempt.Pack.empty() ? "" : " in " + attempt.Pack) +
                       (attempt.Ranges == 0 ? "" : " (" + Plural(attempt.Ranges, "range", "ranges") + ")") + " from " +
                       attempt.Server + ": ";
    switch (attempt.End) {
    case AttemptEnd::Fetched: text += attempt.Converted ? "applied" : "fetched"; break;
    case AttemptEnd::Cancelled: text += "cancelled"; break;
    case AttemptEnd::Failed: text += DescribeFailure(attempt.Why); break;
    }
    std::string details;
    if (attempt.Bytes != 0) details = std::to_string(attempt.Bytes) + " bytes";
    if (attempt.Resumed) details += (details.empty() ? "" : ", ") + std::string("resumed");
    if (attempt.Ranges != 0 || attempt.FilesArrived != 0) {
        details += (details.empty() ? "" : ", ") + Plural(attempt.FilesArrived, "file", "files") + " arrived";
    }
    return details.empty() ? text : text + " [" + details + "]";
}

void CAttemptLog::Observe(const TransferAttempt& attempt) {
    bytes_ += attempt.Bytes;
    // A file that came in a pack is no request of its own: it is reported
    // only when it did not pass, and is then fetched on its own.
    if (!attempt.Pack.empty()) {
        log_.Write("transfer: " + DescribeAttempt(attempt) + "; the file is fetched on its own");
        return;
    }
    ++requests_;
    if (attempt.Lesson) {
        log_.Write(DescribeRangeLesson(attempt));
        // The lesson names the status that kept the files from coming in the pack.
        if (attempt.End == AttemptEnd::Failed && attempt.Why.Kind == FailureKind::HttpStatus) return;
    }
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
