#pragma once
// The signed statements of a release: one beside each manifest, naming its
// target, its publication time and, if asked for, an expiry.
#include "crypto/ecdsa_p256.h"
#include "manifest/release_statement.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

struct ManifestFile;
struct PublishOptions;

// The publication time is the system's clock, or, for tests only, the time
// in this environment variable, so that a test can publish in the past (a
// statement already expired, a clock gone back) without touching the
// machine's clock.
inline constexpr char kTestClockVariable[] = "PUBLISHER_TEST_CLOCK";

// The publisher's clock (kTestClockVariable when set); false with the reason
// when that variable holds no time "YYYY-MM-DDTHH:MM:SSZ".
bool ReadPublisherClock(UtcTime& now, std::string& error);

// The statement in the tree (gbkTargetFolder) with the latest publication
// time; none when there is no statement (or only one of the old one-line form).
std::optional<ReleaseStatement> LatestStatementInTree(const std::string& gbkTargetFolder, bool program);

// What every statement of one publish says besides its manifest's digest.
struct StatementPlan {
    int32_t Target = 1;
    UtcTime Published{};
    std::optional<UtcTime> Expires;
};

// The publication time is the publisher's clock (kTestClockVariable when
// set; a value that is no time "YYYY-MM-DDTHH:MM:SSZ" is refused). A client
// refuses a release older than one it accepted and takes one of the same time
// for the same release, so a time not later than that of a statement already
// in the tree (gbkTargetFolder) is refused unless options.AllowOlderTime:
// most likely the clock has gone back. False with the reason in log.
bool PlanStatements(const PublishOptions& options, const std::string& gbkTargetFolder, StatementPlan& plan,
                    std::ostream& log);

// Puts each manifest's statement ("<manifest>.sig") right after it. Each is
// checked as a client would check it, with the key's public half, before
// anything is written: a key file whose two halves do not belong together
// would otherwise sign releases that no client accepts.
bool AddStatements(const EcdsaPrivateKey& key, const StatementPlan& plan, std::vector<ManifestFile>& manifests,
                   std::ostream& log);
