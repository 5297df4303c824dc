#include "manifest/release_signature.h"

#include "support/rfc6979_vectors.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>


using namespace std::chrono_literals;

namespace {

// The release key's written form, and a key that cannot be read refused
// before anything the server sent.
TEST(ReleaseKeyTest, TheKeyLineIsOneLineOfBase64AndABadOneIsNamedFirst) {
    EcdsaPrivateKey key;
    ASSERT_TRUE(GenerateEcdsaKey(key));
    const std::string keyLine = FormatReleaseKey(key.Public);
    EXPECT_EQ(keyLine.size(), 88u);  // 65 bytes
    EXPECT_EQ(keyLine.find_first_of("\r\n "), std::string::npos);
    EcdsaPublicKey parsed;
    ASSERT_TRUE(ParseReleaseKey(keyLine, parsed));
    EXPECT_EQ(parsed, key.Public);

    EcdsaPublicKey compressedTag = key.Public;
    compressedTag[0] = 0x02;
    for (const std::string& bad : {
             std::string(),
             keyLine.substr(0, 84),                  // short
             keyLine + "AAAA",                       // long
             keyLine + "\n",                         // not trimmed
             FormatReleaseKey(compressedTag),
             std::string(kRfcSampleSignature),       // a signature, not a key
         }) {
        StatementExpectation expected{"sample", bad, 2, {}, std::nullopt};
        EXPECT_EQ(CheckReleaseStatement(kRfcSampleStatement, expected).Check, StatementCheck::KeyUnreadable) << bad;
        EXPECT_EQ(CheckFetchedStatement("", expected).Check, StatementCheck::KeyUnreadable) << bad;
    }
}

// The statement that OpenSSL signed: package 2, published kPublished,
// expiring 30 days later, for the manifest "sample".
const UtcTime kPublished = *ParseUtcTime("2026-12-08T07:00:00Z");
const StatementExpectation kSample{"sample", kRfcKeyLine, 2, kPublished, std::nullopt};

StatementExpectation With(void (*change)(StatementExpectation&)) {
    StatementExpectation expected = kSample;
    change(expected);
    return expected;
}

TEST(ReleaseStatementTest, TakesTheSameOrANewerReleaseAndRemembersAtMostADayAhead) {
    const struct {
        UtcTime Now;
        std::optional<UtcTime> NewestAccepted;
        UtcTime Remember;
    } cases[] = {
        {kPublished, std::nullopt, kPublished},
        {kPublished + 29 * 24h, kPublished, kPublished},      // the same release again
        {kPublished + 30 * 24h, kPublished - 1s, kPublished},  // the expiry's own second
        {kPublished - 24h, std::nullopt, kPublished},          // a day ahead of the clock
        {kPublished - 72h, std::nullopt, kPublished - 48h},    // further: cut to the clock and a day
    };
    for (const auto& c : cases) {
        StatementExpectation expected = kSample;
        expected.Now = c.Now;
        expected.NewestAccepted = c.NewestAccepted;
        const StatementVerdict verdict = CheckReleaseStatement(kRfcSampleStatement, expected);
        ASSERT_TRUE(verdict.IsVerified()) << DescribeStatementVerdict(verdict);
        EXPECT_EQ(verdict.Remember, c.Remember) << FormatUtcTime(c.Now);
        EXPECT_TRUE(DescribeStatementVerdict(verdict).starts_with(
            "release statement verified with the release key: package 2, published 2026-12-08T07:00:00Z, "
            "expires 2027-01-07T07:00:00Z"));
    }
}

TEST(ReleaseStatementTest, ARefusedFieldIsNamedWithBothValues) {
    const struct {
        StatementExpectation Expected;
        StatementCheck Check;
        std::string Text;
    } cases[] = {
        {With([](auto& e) { e.Target = 3; }), StatementCheck::OtherTarget,
         "target \"package 2\" is not this run's \"package 3\""},
        {With([](auto& e) { e.Target = 1; }), StatementCheck::OtherTarget,
         "target \"package 2\" is not this run's \"program\""},
        {With([](auto& e) { e.Manifest = "sample\n"; }), StatementCheck::OtherManifest,
         "manifest-sha256 \"af2bdbe1aa9b6ec1e2ade1d694f41fc71a831d0268e9891562113d8a62add1bf\" is not the fetched "
         "manifest's \"aaf9ff488e0767da5ea1d56118e6f65a16c5633b0cefc1fa089bd3ab1810613d\""},
        {With([](auto& e) { e.Now = kPublished + 30 * 24h + 1s; }), StatementCheck::Expired,
         "expires \"2027-01-07T07:00:00Z\" is past: this computer's clock says \"2027-01-07T07:00:01Z\""},
        {With([](auto& e) { e.NewestAccepted = kPublished + 1s; }), StatementCheck::OlderThanAccepted,
         "published \"2026-12-08T07:00:00Z\" is older than \"2026-12-08T07:00:01Z\", the newest this installation "
         "accepted for package 2"},
    };
    for (const auto& c : cases) {
        const StatementVerdict verdict = CheckReleaseStatement(kRfcSampleStatement, c.Expected);
        EXPECT_EQ(verdict.Check, c.Check) << c.Text;
        EXPECT_EQ(DescribeStatementVerdict(verdict), c.Text);
    }
}

// A statement's text with one line replaced (or added, or removed).
std::string Edited(const std::string& line, const std::string& replacement) {
    std::string text = kRfcSampleStatement;
    const size_t at = line.empty() ? 0 : text.find(line);
    return text.replace(at, line.size(), replacement);
}

TEST(ReleaseStatementTest, OnlyAWholeSignedStatementInItsOneFormVerifies) {
    EXPECT_EQ(CheckReleaseStatement(kRfcSampleStatement, With([](auto& e) { e.ReleaseKey = ""; })).Check,
              StatementCheck::KeyUnreadable);
    for (const std::string& oneLine : {std::string(kRfcSampleSignature), kRfcSampleSignature + std::string("\r\n")}) {
        EXPECT_EQ(CheckReleaseStatement(oneLine, kSample).Check, StatementCheck::OldForm);
    }
    for (const std::string& forged : {Edited("07:00:00Z\nexp", "07:00:01Z\nexp"), Edited("package 2", "package 3"),
                                      Edited("expires=2027-01-07T07:00:00Z\n", "")}) {
        EXPECT_EQ(CheckReleaseStatement(forged, kSample).Check, StatementCheck::SignatureMismatch) << forged;
    }
    const std::pair<std::string, std::string> malformed[] = {
        {"", "target"},
        {Edited("target=package 2\n", ""), "target"},
        {Edited("package 2", "package 1"), "target"},
        {Edited("package 2", "package 02"), "target"},
        {Edited("package 2", "package 2\r"), "target"},
        {Edited("", "target=package 2\n"), "target"},
        {Edited("", "colour=red\n"), "colour"},
        {Edited("", "no equals sign\n"), "line 1"},
        {Edited("2026-12-08T07:00:00Z", "2026-02-29T07:00:00Z"), "published"},
        {Edited("2026-12-08T07:00:00Z", "2026-12-08T24:00:00Z"), "published"},
        {Edited("2026-12-08T07:00:00Z", "2026-12-08T07:00:60Z"), "published"},
        {Edited("2026-12-08T07:00:00Z", "2026-12-08 07:00:00Z"), "published"},
        {Edited("2027-01-07T07:00:00Z", "2027-01-07T07:00:00"), "expires"},
        {Edited("af2bdbe1", "AF2BDBE1"), "manifest-sha256"},
        {Edited("af2bdbe1", "af2bdbe"), "manifest-sha256"},
        {Edited("==\n", "=\n"), "signature"},
        {Edited("==\n", "=="), "line 5"},
        {Edited("==\n", "==\nexpires=2027-01-07T07:00:00Z\n"), "line 6"},
        {kRfcSampleStatement + std::string(kMaxStatementBytes, '\n'), "the statement"},
    };
    for (const auto& [text, field] : malformed) {
        const StatementVerdict verdict = CheckReleaseStatement(text, kSample);
        EXPECT_EQ(verdict.Check, StatementCheck::Malformed) << text;
        EXPECT_EQ(verdict.Field.Name, field) << text;
    }
    EXPECT_EQ(DescribeStatementVerdict(CheckReleaseStatement(Edited("07:00:00Z\nexp", "07:00\x01\nexp"), kSample)),
              "the release statement is malformed: published \"2026-12-08T07:00\\x01\": wanted a UTC time "
              "YYYY-MM-DDTHH:MM:SSZ");
    EXPECT_EQ(CheckReleaseStatement(Edited("package 2", "package 2\r"), kSample).Field.Stated, "package 2\\r");
}

TEST(ReleaseStatementTest, AFetchedStatementIsReadFromItsFile) {
    TempDir dir;
    dir.Write("config.ini.sig", kRfcSampleStatement);
    dir.Write("large.sig", std::string(kMaxStatementBytes + 1, 'A'));
    EXPECT_TRUE(CheckFetchedStatement(dir.File("config.ini.sig"), kSample).IsVerified());
    EXPECT_EQ(CheckFetchedStatement("", kSample).Check, StatementCheck::Missing);
    EXPECT_EQ(CheckFetchedStatement(dir.File("gone.sig"), kSample).Check, StatementCheck::Missing);
    EXPECT_EQ(CheckFetchedStatement(dir.File("large.sig"), kSample).Check, StatementCheck::Malformed);
}

}  // namespace
