#pragma once
// The release statement: the text that the publisher signs beside each
// manifest ("UpdateConfig.ini.sig", "config.ini.sig"), one field a line,
// every line ended by LF:
//
//   target=program                      (a data package: target=package <type>)
//   published=2026-12-08T07:00:00Z      (the publication time, UTC)
//   expires=2027-01-07T07:00:00Z        (only when the publisher set an expiry)
//   manifest-sha256=<64 lower-case hex digits: SHA-256 of the manifest's exact bytes>
//   signature=<base64 of r||s: ECDSA P-256 over SHA-256 of every byte before this line>
//
// A signature over the manifest alone says who made a release; the
// statement also says what it is for and when it was made, so that a client
// can refuse a release moved to another target, an older one replayed, and
// one held back past its expiry.
#include "base/utc_time_text.h"
#include "crypto/ecdsa_p256.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A statement is a few short lines; anything much longer is not one.
inline constexpr size_t kMaxStatementBytes = 1024;

struct ReleaseStatement {
    int32_t Target = 1;  // the package type the release is for; 1 is the program
    UtcTime Published{};
    std::optional<UtcTime> Expires;
    Sha256Digest ManifestSha256{};
    EcdsaSignature Signature{};
};

// "program" for type 1, "package <type>" for any other.
std::string FormatReleaseTarget(int32_t type);

// The lines before the signature's: the bytes that the signature covers.
std::string FormatStatementBody(const ReleaseStatement& statement);

// What was wrong with one field: its name, its value in the statement and
// what it had to be. Values from a server are cut short and any byte
// outside printable ASCII shows as '?', so they can go into a log line.
struct StatementField {
    std::string Name;
    std::string Stated;
    std::string Expected;
};

struct ParsedStatement {
    std::optional<ReleaseStatement> Statement;  // when the text is a statement
    std::string_view SignedPart;                 // a view of the text: every byte before the signature line
    StatementField Defect;                       // otherwise, why it is none
};

// Strictly the form above: every field known and given once (expires may be
// left out), the signature line last, each value in its one spelling, and
// no other line end than LF.
ParsedStatement ParseReleaseStatement(std::string_view text);
