#include "transfer/range_resume.h"

#include "transfer/transfer_rules.h"

namespace {
// Splits `text` at the first `separator`; false when there is none.
bool SplitAt(std::string_view text, char separator, std::string_view& before, std::string_view& after) {
    const size_t at = text.find(separator);
    if (at == std::string_view::npos) return false;
    before = text.substr(0, at);
    after = text.substr(at + 1);
    return true;
}

bool IsPrintableAscii(std::string_view text) {
    for (const char c : text) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}
}  // namespace

std::optional<ContentRange> ParseContentRange(std::string_view text) {
    constexpr std::string_view kUnit = "bytes ";
    if (text.substr(0, kUnit.size()) != kUnit) return std::nullopt;
    std::string_view range, total, first, last;
    if (!SplitAt(text.substr(kUnit.size()), '/', range, total) || !SplitAt(range, '-', first, last)) {
        return std::nullopt;
    }
    const auto firstValue = ParseContentLength(first);
    const auto lastValue = ParseContentLength(last);
    const auto totalValue = ParseContentLength(total);
    if (!firstValue || !lastValue || !totalValue || *firstValue > *lastValue || *lastValue >= *totalValue) {
        return std::nullopt;
    }
    return ContentRange{*firstValue, *lastValue, *totalValue};
}

std::string ChooseRangeValidator(std::string_view etag, std::string_view lastModified) {
    const bool strongTag = etag.size() >= 2 && etag.front() == '"' && etag.back() == '"';
    if (strongTag && IsPrintableAscii(etag)) return std::string(etag);
    if (!lastModified.empty() && IsPrintableAscii(lastModified)) return std::string(lastModified);
    return {};
}

std::string FormatResumeInfo(const ResumeInfo& info) {
    return info.Validator + "\n" + std::to_string(info.Total) + "\n";
}

std::optional<ResumeInfo> ParseResumeInfo(std::string_view text) {
    std::string_view validator, rest, total, end;
    if (!SplitAt(text, '\n', validator, rest) || !SplitAt(rest, '\n', total, end) || !end.empty()) return std::nullopt;
    const auto totalValue = ParseContentLength(total);
    if (validator.empty() || !IsPrintableAscii(validator) || !totalValue || *totalValue == 0) return std::nullopt;
    return ResumeInfo{std::string(validator), *totalValue};
}
