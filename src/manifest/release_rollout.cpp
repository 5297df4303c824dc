#include "manifest/release_rollout.h"

#include "base/number_text.h"
#include "manifest/release_vocabulary.h"

namespace {
std::string Quoted(std::string_view key, std::string_view value) {
    return std::string(key) + " \"" + std::string(value) + "\"";
}

ReleaseRollout Paused(std::string why) {
    ReleaseRollout paused;
    paused.Share = 0;
    paused.Problem = std::move(why);
    return paused;
}
}  // namespace

uint32_t ReleaseRollout::ShareAt(UtcTime now) const {
    if (!Growth || Share >= kEveryInstallation || now <= Growth->Start) return Share;
    if (now >= Growth->End()) return kEveryInstallation;
    const int64_t elapsed = (now - Growth->Start).count();
    const int64_t span = (Growth->End() - Growth->Start).count();
    return Share + static_cast<uint32_t>((kEveryInstallation - Share) * elapsed / span);
}

ReleaseRollout ReadRollout(std::optional<std::string_view> share, std::optional<std::string_view> start,
                           std::optional<std::string_view> days) {
    ReleaseRollout rollout;
    if (!share && !start && !days) return rollout;
    if (!share) return Paused(std::string(kRolloutStartKey) + " or " + kRolloutDaysKey + " without " + kRolloutKey);
    const std::optional<uint32_t> tenths = ParseRolloutShare(*share);
    if (!tenths) return Paused(Quoted(kRolloutKey, *share) + " is no share from 0 to 100 with at most one decimal");
    rollout.Share = *tenths;
    if (!start && !days) return rollout;
    if (!start || !days) return Paused(std::string(kRolloutStartKey) + " and " + kRolloutDaysKey + " go together");
    const std::optional<UtcTime> from = ParseUtcTime(*start);
    if (!from) return Paused(Quoted(kRolloutStartKey, *start) + " is no time YYYY-MM-DDTHH:MM:SSZ");
    const std::optional<uint32_t> span = ParseRolloutDays(*days);
    if (!span) {
        return Paused(Quoted(kRolloutDaysKey, *days) + " is no number of days from 1 to " +
                      std::to_string(kMaxRolloutDays));
    }
    rollout.Growth = RolloutGrowth{*from, *span};
    return rollout;
}

std::optional<uint32_t> ParseRolloutShare(std::string_view text) {
    const size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::optional<uint64_t> percent = whole.size() <= 3 ? ParseDecimalCount(whole) : std::nullopt;
    if (!percent) return std::nullopt;
    uint64_t tenths = *percent * 10;
    if (point != std::string_view::npos) {
        const std::string_view decimal = text.substr(point + 1);
        if (decimal.size() != 1 || decimal[0] < '0' || decimal[0] > '9') return std::nullopt;
        tenths += static_cast<uint64_t>(decimal[0] - '0');
    }
    if (tenths > kEveryInstallation) return std::nullopt;
    return static_cast<uint32_t>(tenths);
}

std::optional<uint32_t> ParseRolloutDays(std::string_view text) {
    const std::optional<uint64_t> days = ParseDecimalCount(text);
    if (!days || *days < 1 || *days > kMaxRolloutDays) return std::nullopt;
    return static_cast<uint32_t>(*days);
}

std::string FormatRolloutShare(uint32_t tenths) {
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}
