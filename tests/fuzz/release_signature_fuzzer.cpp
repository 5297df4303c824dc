// libFuzzer target: the release check takes a statement (or an old one-line
// signature), a manifest and a release key from anywhere (the first byte
// chooses which the rest of the input is; the others are a published key
// and statement). None may fault, only the signed bytes may
// verify, what base64 accepts must be the one canonical spelling of its
// bytes, a statement's fields must read back as written, and every verdict
// must be fit for a log line.
#include "base/base64.h"
#include "manifest/release_signature.h"
#include "support/rfc6979_vectors.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {
const std::string_view kSampleStatement = kRfcSampleStatement;

void CheckStatement(std::string_view text) {
    const ParsedStatement parsed = ParseReleaseStatement(text);
    if (parsed.Statement) {
        const ReleaseStatement& fields = *parsed.Statement;
        const std::string signature = EncodeBase64(fields.Signature.data(), fields.Signature.size());
        const ParsedStatement again =
            ParseReleaseStatement(FormatStatementBody(fields) + "signature=" + signature + "\n");
        if (!again.Statement || again.Statement->Target != fields.Target ||
            again.Statement->Published != fields.Published || again.Statement->Expires != fields.Expires ||
            again.Statement->ManifestSha256 != fields.ManifestSha256 || !text.starts_with(parsed.SignedPart)) {
            std::abort();
        }
    }
    const StatementVerdict verdict = CheckReleaseStatement(
        text, {"sample", kRfcKeyLine, 2, *ParseUtcTime("2026-12-08T07:00:00Z"), std::nullopt});
    const std::string_view signedPart = kSampleStatement.substr(0, kSampleStatement.find("signature="));
    if (verdict.IsVerified() && parsed.SignedPart != signedPart) std::abort();
    for (const char c : DescribeStatementVerdict(verdict)) {
        if (c < 0x20 || c == 0x7f) std::abort();
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const StatementExpectation sample{"sample", kRfcKeyLine, 2, *ParseUtcTime("2026-12-08T07:00:00Z"), std::nullopt};
    switch (data[0] % 4) {
    case 0: {
        // Only the manifest the statement names passes with it.
        StatementExpectation expected = sample;
        expected.Manifest = input;
        if (CheckReleaseStatement(kSampleStatement, expected).IsVerified() != (input == "sample")) std::abort();
        break;
    }
    case 1: {
        StatementExpectation expected = sample;
        expected.ReleaseKey = input;
        if (CheckReleaseStatement(kSampleStatement, expected).IsVerified() != (input == kRfcKeyLine)) std::abort();
        break;
    }
    case 2: {
        std::string bytes;
        if (DecodeBase64(input, bytes) && EncodeBase64(bytes) != input) std::abort();
        break;
    }
    case 3:
        CheckStatement(input);
        break;
    }
    return 0;
}
