#pragma once
// The HTTP side of continuing a download: which validator goes into
// If-Range, what a 206 answer's Content-Range says, and the small text kept
// beside a partial file so that the next run can ask for the rest.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// "bytes FIRST-LAST/TOTAL" of a 206 answer.
struct ContentRange {
    uint64_t First = 0;
    uint64_t Last = 0;
    uint64_t Total = 0;
};

// Nullopt for anything else, an unknown total ("/*") and a range that does
// not lie inside the total included.
std::optional<ContentRange> ParseContentRange(std::string_view text);

// The validator that If-Range may carry: the ETag when it is a strong one,
// otherwise the Last-Modified date; empty when neither is usable, and then
// the download cannot be continued safely.
std::string ChooseRangeValidator(std::string_view etag, std::string_view lastModified);

// What the next run needs besides the partial bytes: the validator of the
// answer they came from and the whole file's size.
struct ResumeInfo {
    std::string Validator;
    uint64_t Total = 0;
};

std::string FormatResumeInfo(const ResumeInfo& info);
// Nullopt for a damaged text: the partial file is then fetched afresh.
std::optional<ResumeInfo> ParseResumeInfo(std::string_view text);
