#include "manifest/release_signature.h"

#include "base/base64.h"
#include "base/file_io.h"
#include "base/number_text.h"

#include <algorithm>

namespace {
// One line: the base64 text, and at most one line end after it.
std::string_view WithoutLineEnd(std::string_view text) {
    if (text.ends_with("\r\n")) return text.substr(0, text.size() - 2);
    if (text.ends_with('\n')) return text.substr(0, text.size() - 1);
    return text;
}

// The form that earlier releases were signed in: one line of base64 of a
// signature over the manifest alone.
bool ParseSignatureFile(std::string_view text, EcdsaSignature& signature) {
    std::string bytes;
    if (!DecodeBase64(WithoutLineEnd(text), bytes) || bytes.size() != signature.size()) return false;
    std::copy(bytes.begin(), bytes.end(), signature.begin());
    return true;
}

StatementCheck CheckOf(EcdsaVerdict verdict) {
    switch (verdict) {
    case EcdsaVerdict::Valid:
        return StatementCheck::Verified;
    case EcdsaVerdict::Invalid:
        return StatementCheck::SignatureMismatch;
    case EcdsaVerdict::BadKey:
        return StatementCheck::KeyUnreadable;
    case EcdsaVerdict::Unavailable:
        break;
    }
    return StatementCheck::VerifierUnavailable;
}

StatementVerdict Refused(StatementCheck check, StatementField field = {}) {
    StatementVerdict verdict;
    verdict.Check = check;
    verdict.Field = std::move(field);
    return verdict;
}

std::string Hex(const Sha256Digest& digest) { return LowerHex(digest.data(), digest.size()); }

// All that the publisher's key vouches for: the statement's form, its
// signature, and that it names the manifest fetched. Its other fields are
// the run's to weigh.
StatementVerdict VerifyStatement(std::string_view text, std::string_view manifest, std::string_view releaseKey) {
    EcdsaPublicKey key;
    if (!ParseReleaseKey(releaseKey, key)) return Refused(StatementCheck::KeyUnreadable);
    EcdsaSignature oneLine;
    if (ParseSignatureFile(text, oneLine)) return Refused(StatementCheck::OldForm);
    const ParsedStatement parsed = ParseReleaseStatement(text);
    if (!parsed.Statement) return Refused(StatementCheck::Malformed, parsed.Defect);
    Sha256Digest signedDigest;
    Sha256Digest manifestDigest;
    if (!ComputeSha256(parsed.SignedPart, signedDigest) || !ComputeSha256(manifest, manifestDigest)) {
        return Refused(StatementCheck::VerifierUnavailable);
    }
    const StatementCheck signature = CheckOf(VerifySha256Digest(key, signedDigest, parsed.Statement->Signature));
    if (signature != StatementCheck::Verified) return Refused(signature, {"signature", "", ""});
    StatementVerdict verdict;
    verdict.Statement = *parsed.Statement;
    if (verdict.Statement.ManifestSha256 != manifestDigest) {
        verdict.Check = StatementCheck::OtherManifest;
        verdict.Field = {"manifest-sha256", Hex(verdict.Statement.ManifestSha256), Hex(manifestDigest)};
        return verdict;
    }
    verdict.Check = StatementCheck::Verified;
    return verdict;
}

}  // namespace

std::string FormatReleaseKey(const EcdsaPublicKey& key) { return EncodeBase64(key.data(), key.size()); }

bool ParseReleaseKey(std::string_view text, EcdsaPublicKey& key) {
    std::string bytes;
    if (!DecodeBase64(text, bytes) || bytes.size() != key.size() || bytes[0] != 0x04) return false;
    std::copy(bytes.begin(), bytes.end(), key.begin());
    return true;
}

std::string DescribeStatementVerdict(const StatementVerdict& verdict) {
    const StatementField& field = verdict.Field;
    const std::string stated = field.Name + " \"" + field.Stated + "\"";
    const std::string expected = "\"" + field.Expected + "\"";
    const ReleaseStatement& statement = verdict.Statement;
    switch (verdict.Check) {
    case StatementCheck::Verified: {
        std::string text = "release statement verified with the release key: " +
                           FormatReleaseTarget(statement.Target) + ", published " +
                           FormatUtcTime(statement.Published);
        if (statement.Expires) text += ", expires " + FormatUtcTime(*statement.Expires);
        if (verdict.Remember != statement.Published) {
            text += "; remembered as " + FormatUtcTime(verdict.Remember) + ", a day past this computer's clock";
        }
        return text;
    }
    case StatementCheck::KeyUnreadable:
        return "the configured release key cannot be read";
    case StatementCheck::Missing:
        return "the release statement could not be fetched or read";
    case StatementCheck::OldForm:
        return "the release statement is the old one-line signature, which names no target and no time";
    case StatementCheck::Malformed:
        return "the release statement is malformed: " + field.Name +
               (field.Stated.empty() ? std::string() : " \"" + field.Stated + "\"") + ": wanted " + field.Expected;
    case StatementCheck::SignatureMismatch:
        return "the release statement's signature does not verify with the release key";
    case StatementCheck::VerifierUnavailable:
        return "the system cannot verify ECDSA P-256 signatures";
    case StatementCheck::OtherTarget:
        return stated + " is not this run's " + expected;
    case StatementCheck::OtherManifest:
        return stated + " is not the fetched manifest's " + expected;
    case StatementCheck::Expired:
        return stated + " is past: this computer's clock says " + expected;
    case StatementCheck::OlderThanAccepted:
        return stated + " is older than " + expected + ", the newest this installation accepted for " +
               FormatReleaseTarget(statement.Target);
    }
    return "unknown statement check";
}

bool SignReleaseStatement(const EcdsaPrivateKey& key, const ReleaseStatement& statement, std::string& text) {
    const std::string body = FormatStatementBody(statement);
    Sha256Digest digest;
    EcdsaSignature signature;
    if (!ComputeSha256(body, digest) || !SignSha256Digest(key, digest, signature)) return false;
    text = body + "signature=" + EncodeBase64(signature.data(), signature.size()) + "\n";
    return true;
}

StatementVerdict CheckReleaseStatement(std::string_view statement, const StatementExpectation& expected) {
    StatementVerdict verdict = VerifyStatement(statement, expected.Manifest, expected.ReleaseKey);
    if (!verdict.IsVerified()) return verdict;
    const ReleaseStatement& fields = verdict.Statement;
    if (fields.Target != expected.Target) {
        verdict.Check = StatementCheck::OtherTarget;
        verdict.Field = {"target", FormatReleaseTarget(fields.Target), FormatReleaseTarget(expected.Target)};
    } else if (fields.Expires && *fields.Expires < expected.Now) {
        verdict.Check = StatementCheck::Expired;
        verdict.Field = {"expires", FormatUtcTime(*fields.Expires), FormatUtcTime(expected.Now)};
    } else if (expected.NewestAccepted && fields.Published < *expected.NewestAccepted) {
        verdict.Check = StatementCheck::OlderThanAccepted;
        verdict.Field = {"published", FormatUtcTime(fields.Published), FormatUtcTime(*expected.NewestAccepted)};
    } else {
        verdict.Remember = std::min(fields.Published, expected.Now + std::chrono::days{1});
    }
    return verdict;
}

StatementVerdict CheckFetchedStatement(const std::string& statementPath, const StatementExpectation& expected) {
    EcdsaPublicKey key;
    if (!ParseReleaseKey(expected.ReleaseKey, key)) return Refused(StatementCheck::KeyUnreadable);
    std::string statement;
    const FileReadStatus read =
        statementPath.empty() ? FileReadStatus::Missing : ReadWholeFile(statementPath, kMaxStatementBytes, statement);
    switch (read) {
    case FileReadStatus::Ok:
        return CheckReleaseStatement(statement, expected);
    case FileReadStatus::TooLarge:
        return Refused(StatementCheck::Malformed, {"the statement", "", "at most " +
                                                   std::to_string(kMaxStatementBytes) + " bytes"});
    case FileReadStatus::Missing:
    case FileReadStatus::Failed:
        break;
    }
    return Refused(StatementCheck::Missing);
}
