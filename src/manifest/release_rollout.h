#pragma once
// How far a release is handed out: the share of installations that take it,
// and how that share grows over time. The manifest carries it
// (release_vocabulary.h names the keys and marks), so that a signed release
// covers it; each installation decides on it for itself
// (engine/rollout_decision.h).
#include "base/utc_time_text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Shares are counted in tenths of a percent, the manifest's one decimal.
inline constexpr uint32_t kEveryInstallation = 1000;

// From Start the share grows linearly to every installation over Days.
struct RolloutGrowth {
    UtcTime Start{};
    uint32_t Days = 0;

    UtcTime End() const { return Start + std::chrono::days{Days}; }
    bool operator==(const RolloutGrowth&) const = default;
};

struct ReleaseRollout {
    uint32_t Share = kEveryInstallation;  // tenths of a percent; 0 pauses the release
    std::optional<RolloutGrowth> Growth;
    // Why values the manifest gave read as a pause, for the log; empty
    // when they read as written (or there were none).
    std::string Problem;

    // The share at that instant: the growth's, never less than Share.
    uint32_t ShareAt(UtcTime now) const;
    bool operator==(const ReleaseRollout&) const = default;
};

// The rollout that the manifest's values say, each nothing when absent. No
// value at all is every installation; a value that is no share, time or
// number of days, or is out of range, or a growth that is not whole or has
// no share, reads as a pause with the Problem named: a slip of the
// publisher's must not hand a release to everyone.
ReleaseRollout ReadRollout(std::optional<std::string_view> share, std::optional<std::string_view> start,
                           std::optional<std::string_view> days);

// A share as the manifest writes it: 0 to 100, at most one decimal ("25",
// "2.5", "100.0"), in tenths of a percent; nothing for any other text.
std::optional<uint32_t> ParseRolloutShare(std::string_view text);
// A whole number of days from 1 to kMaxRolloutDays.
std::optional<uint32_t> ParseRolloutDays(std::string_view text);
// "25.0": the one form the publisher writes and the log shows.
std::string FormatRolloutShare(uint32_t tenths);
