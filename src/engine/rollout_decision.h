#pragma once
// Whether a release in rollout (manifest/release_rollout.h) reaches this
// installation now. Each installation has, for each release, a place in
// [0, 100) drawn from its InstallId, the release's identity and its target;
// it takes the release once the share is above its place. The place stays
// while only the share changes, so raising the share keeps everyone already
// in and a pause and a resume reshuffle nobody; it differs from release to
// release, so the early group is another one each time. A person who asked
// (the dialog) takes any release that is not paused.
#include "base/utc_time_text.h"
#include "manifest/release_rollout.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// [Update] InstallId in Config.dat: 32 lower-case hex digits, 128 bits from
// the system's random generator, made once per installation; it never
// leaves the machine.
bool IsInstallId(std::string_view text);
// A new one; nothing when the system's generator gave no bytes.
std::optional<std::string> MakeInstallId();

// The place, in tenths of a percent [0, 1000): the first four bytes of the
// SHA-256 of "<InstallId>\n<ReleaseId>\n<target>\n" (target "program" or
// "package N") as a big-endian number, times 1000, divided by 2^32.
// Nothing when the system could not hash.
std::optional<uint32_t> RolloutPlace(std::string_view installId, std::string_view releaseId, int32_t type);

struct RolloutDecision {
    uint32_t Share = 0;             // tenths of a percent, at the run's clock
    bool PersonAsked = false;       // the dialog: no place needed
    std::optional<uint32_t> Place;  // this installation's; none when a person asked or it has none
    bool Taken = false;
};

// A silent run's: taken when the installation has a place and it is below
// the share now.
RolloutDecision DecideForInstallation(const ReleaseRollout& rollout, UtcTime now, std::optional<uint32_t> place);
// The dialog's: taken unless the release is paused.
RolloutDecision DecideForPerson(const ReleaseRollout& rollout, UtcTime now);

// The log line that support desks and scripts read, e.g. "release 4.0.3
// rolled out to 25.0 % (growing to 100 % by 2026-12-14T00:00:00Z); this
// installation's place 61.3 %: not yet". release names it: its version, or
// its identity when it has none (a data package's config.ini).
std::string DescribeRolloutDecision(std::string_view release, const ReleaseRollout& rollout,
                                    const RolloutDecision& decision);
