#pragma once
// Signed releases: a manifest is trusted only when the release statement
// beside it ("<manifest>.sig", release_statement.h) verifies with the
// release key that the installation holds ("ReleaseKey": one line of base64
// of the 65-byte uncompressed public point) and names this manifest, this
// run's target and a time that is neither past its expiry nor older than
// the newest release the installation accepted for that target.
//
// Earlier releases were signed in a one-line form: base64 of the 64-byte
// r||s ECDSA P-256 signature over SHA-256 of the manifest alone.
#include "base/utc_time_text.h"
#include "crypto/ecdsa_p256.h"
#include "manifest/release_statement.h"
#include "manifest/release_vocabulary.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The key line as the publisher writes it and the installation holds it.
std::string FormatReleaseKey(const EcdsaPublicKey& key);
bool ParseReleaseKey(std::string_view text, EcdsaPublicKey& key);

// What a run makes of the statement beside the manifest it fetched.
enum class StatementCheck {
    Verified,
    KeyUnreadable,        // the release key is not base64 of an uncompressed P-256 point
    Missing,              // no statement could be fetched (or read once fetched)
    OldForm,              // the one-line signature of the manifest alone: no target, no time
    Malformed,            // not a statement; Field says where
    SignatureMismatch,    // its signature does not verify with the release key
    VerifierUnavailable,  // the system offers no ECDSA P-256
    OtherTarget,          // signed for another target than this run's
    OtherManifest,        // signed for other manifest bytes than those fetched
    Expired,              // its expiry is past by this computer's clock
    OlderThanAccepted,    // published before the newest release accepted for the target
};

// What the run holds against the statement.
struct StatementExpectation {
    std::string_view Manifest;    // the manifest's bytes as fetched
    std::string_view ReleaseKey;  // [Update] ReleaseKey
    int32_t Target = 1;           // this run's package type; 1 is the program
    UtcTime Now{};                // this computer's clock
    std::optional<UtcTime> NewestAccepted;  // remembered for Target, if any
};

struct StatementVerdict {
    StatementCheck Check = StatementCheck::Malformed;
    // The statement's fields once its signature verified (Verified and the
    // refusals from OtherTarget on).
    ReleaseStatement Statement;
    // Verified: the publication time to remember for the target. More than
    // a day ahead of the clock it is cut to the clock plus a day, so that a
    // publisher's wrong clock cannot lock out the releases after it.
    UtcTime Remember{};
    // Malformed and the refusals of a field: the field and both values.
    StatementField Field;

    bool IsVerified() const { return Check == StatementCheck::Verified; }
};

// The verdict in words for the run log, with the field and both values.
std::string DescribeStatementVerdict(const StatementVerdict& verdict);

// The statement's text with its signature (statement.Signature is not
// read); false when signing failed.
bool SignReleaseStatement(const EcdsaPrivateKey& key, const ReleaseStatement& statement, std::string& text);

// The one decision on a fetched release. The key is judged first, then the
// statement's form and signature; only a statement that verified is
// compared with the run: its target, its manifest, its expiry, and its
// publication time (an equal one is the same release).
StatementVerdict CheckReleaseStatement(std::string_view statement, const StatementExpectation& expected);

// The same with the statement where it was fetched to; an empty path means
// that it could not be fetched.
StatementVerdict CheckFetchedStatement(const std::string& statementPath, const StatementExpectation& expected);
