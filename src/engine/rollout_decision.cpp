#include "engine/rollout_decision.h"

#include "base/number_text.h"
#include "crypto/crypto_primitives.h"
#include "manifest/release_statement.h"

#include <array>

namespace {
constexpr size_t kInstallIdBytes = 16;
}  // namespace

bool IsInstallId(std::string_view text) {
    return text.size() == 2 * kInstallIdBytes && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::optional<std::string> MakeInstallId() {
    std::array<uint8_t, kInstallIdBytes> bytes{};
    if (!FillRandom(bytes.data(), bytes.size())) return std::nullopt;
    return LowerHex(bytes.data(), bytes.size());
}

std::optional<uint32_t> RolloutPlace(std::string_view installId, std::string_view releaseId, int32_t type) {
    std::string text;
    text.append(installId).append("\n").append(releaseId).append("\n").append(FormatReleaseTarget(type)).append("\n");
    Sha256Digest digest{};
    if (!ComputeSha256(text, digest)) return std::nullopt;
    const uint64_t drawn = uint64_t{digest[0]} << 24 | uint64_t{digest[1]} << 16 | uint64_t{digest[2]} << 8 | digest[3];
    return static_cast<uint32_t>(drawn * kEveryInstallation >> 32);
}

RolloutDecision DecideForInstallation(const ReleaseRollout& rollout, UtcTime now, std::optional<uint32_t> place) {
    RolloutDecision decision;
    decision.Share = rollout.ShareAt(now);
    decision.Place = place;
    decision.Taken = place && *place < decision.Share;
    return decision;
}

RolloutDecision DecideForPerson(const ReleaseRollout& rollout, UtcTime now) {
    RolloutDecision decision;
    decision.Share = rollout.ShareAt(now);
    decision.PersonAsked = true;
    decision.Taken = decision.Share > 0;
    return decision;
}

std::string DescribeRolloutDecision(std::string_view release, const ReleaseRollout& rollout,
                                    const RolloutDecision& decision) {
    std::string line =
        "release " + std::string(release) + " rolled out to " + FormatRolloutShare(decision.Share) + " %";
    if (rollout.Growth) line += " (growing to 100 % by " + FormatUtcTime(rollout.Growth->End()) + ")";
    if (decision.PersonAsked) {
        line += "; a person asked";
    } else if (decision.Place) {
        line += "; this installation's place " + FormatRolloutShare(*decision.Place) + " %";
    } else {
        line += "; this installation has no place";
    }
    return line + (decision.Taken ? ": taken" : ": not yet");
}
