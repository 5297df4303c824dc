#include "manifest/release_signature.h"

#include "support/rfc6979_vectors.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <set>

namespace {

const std::string kManifest = "[Version]\r\nVERSION=4.0.2\r\n[FILES]\r\na.dll\r\n[a.dll]\r\nSIZE=5\r\nMD5=5d41\r\n";

class ReleaseSignatureTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(GenerateEcdsaKey(key_));
        keyLine_ = FormatReleaseKey(key_.Public);
        ASSERT_TRUE(SignManifest(key_, kManifest, signature_));
    }
    EcdsaPrivateKey key_;
    std::string keyLine_;
    std::string signature_;
};

TEST_F(ReleaseSignatureTest, TheWrittenFormsAreOneLineOfBase64) {
    EXPECT_EQ(keyLine_.size(), 88u);  // 65 bytes
    EXPECT_EQ(keyLine_.find_first_of("\r\n "), std::string::npos);
    EXPECT_EQ(signature_.size(), 89u);  // 64 bytes and the line end
    EXPECT_EQ(signature_.find_first_of("\r\n "), 88u);
    EcdsaPublicKey parsed;
    ASSERT_TRUE(ParseReleaseKey(keyLine_, parsed));
    EXPECT_EQ(parsed, key_.Public);
}

// The published signatures hold in both builds.
TEST_F(ReleaseSignatureTest, PublishedSignaturesVerify) {
    EXPECT_EQ(CheckManifestSignature("sample", kRfcSampleSignature, kRfcKeyLine), SignatureCheck::Verified);
    EXPECT_EQ(CheckManifestSignature("test", std::string(kRfcTestSignature) + "\r\n", kRfcKeyLine),
              SignatureCheck::Verified);
    EXPECT_EQ(CheckManifestSignature("test", kRfcSampleSignature, kRfcKeyLine), SignatureCheck::SignatureMismatch);
}

TEST_F(ReleaseSignatureTest, OnlyTheExactSignedBytesVerify) {
    EXPECT_EQ(CheckManifestSignature(kManifest, signature_, keyLine_), SignatureCheck::Verified);

    std::string oneByte = kManifest;
    oneByte[oneByte.find("4.0.2")] = '5';
    EcdsaPrivateKey other;
    ASSERT_TRUE(GenerateEcdsaKey(other));
    std::string otherSignature;
    ASSERT_TRUE(SignManifest(other, kManifest, otherSignature));
    const std::pair<std::string, std::string> refused[] = {
        {oneByte, signature_},
        {kManifest.substr(0, kManifest.size() - 1), signature_},  // cut short
        {kManifest + "\r\n", signature_},                         // one more line end
        {kManifest, otherSignature},                              // another key's
    };
    for (const auto& [manifest, signature] : refused) {
        EXPECT_EQ(CheckManifestSignature(manifest, signature, keyLine_), SignatureCheck::SignatureMismatch)
            << manifest;
    }
    EXPECT_EQ(CheckManifestSignature(kManifest, otherSignature, FormatReleaseKey(other.Public)),
              SignatureCheck::Verified);
}

TEST_F(ReleaseSignatureTest, MalformedSignaturesAreNamedSo) {
    const std::string line = signature_.substr(0, 88);
    for (const std::string& malformed : {
             std::string(),
             std::string("\n"),
             line.substr(0, 84),                             // 63 bytes: four digits short
             line.substr(0, 86) + "AAAA==",                  // 65 bytes
             line + "\n\n",                                  // two line ends
             line + "\r",                                    // a lone carriage return
             " " + line,                                     // blank before
             line + " \n",
             line.substr(0, 40) + "\n" + line.substr(40),    // wrapped
             line + "\n" + line + "\n",                      // two signatures
             std::string(kMaxSignatureFileBytes * 2, 'A'),
         }) {
        EXPECT_EQ(CheckManifestSignature(kManifest, malformed, keyLine_), SignatureCheck::SignatureMalformed)
            << malformed;
    }
}

TEST_F(ReleaseSignatureTest, AnUnreadableKeyIsNamedBeforeTheSignature) {
    EcdsaPublicKey compressedTag = key_.Public;
    compressedTag[0] = 0x02;
    const std::string compressed = FormatReleaseKey(compressedTag);
    for (const std::string& key : {
             std::string(),
             keyLine_.substr(0, 84),                              // short
             keyLine_ + "AAAA",                                   // long
             keyLine_ + "\n",                                     // not trimmed
             compressed,
             std::string(kRfcSampleSignature),                    // a signature, not a key
         }) {
        EXPECT_EQ(CheckManifestSignature(kManifest, signature_, key), SignatureCheck::KeyUnreadable) << key;
        EXPECT_EQ(CheckManifestSignature(kManifest, "garbage", key), SignatureCheck::KeyUnreadable) << key;
        EXPECT_EQ(CheckFetchedSignature(kManifest, "", key), SignatureCheck::KeyUnreadable) << key;
    }
}

TEST_F(ReleaseSignatureTest, AFetchedSignatureIsReadFromItsFile) {
    TempDir dir;
    dir.Write("UpdateConfig.ini.sig", signature_);
    dir.Write("large.sig", std::string(kMaxSignatureFileBytes + 1, 'A'));
    dir.Write("folder.sig\\x", "");
    EXPECT_EQ(CheckFetchedSignature(kManifest, dir.File("UpdateConfig.ini.sig"), keyLine_), SignatureCheck::Verified);
    EXPECT_EQ(CheckFetchedSignature(kManifest, "", keyLine_), SignatureCheck::SignatureMissing);
    EXPECT_EQ(CheckFetchedSignature(kManifest, dir.File("gone.sig"), keyLine_), SignatureCheck::SignatureMissing);
    EXPECT_EQ(CheckFetchedSignature(kManifest, dir.File("folder.sig"), keyLine_), SignatureCheck::SignatureMissing);
    EXPECT_EQ(CheckFetchedSignature(kManifest, dir.File("large.sig"), keyLine_), SignatureCheck::SignatureMalformed);
}

// The run log tells the reasons apart.
TEST(SignatureCheckTextTest, EveryOutcomeHasItsOwnWords) {
    std::set<std::string> texts;
    for (const SignatureCheck check : {SignatureCheck::Verified, SignatureCheck::KeyUnreadable,
                                       SignatureCheck::SignatureMissing, SignatureCheck::SignatureMalformed,
                                       SignatureCheck::SignatureMismatch, SignatureCheck::VerifierUnavailable}) {
        EXPECT_TRUE(texts.insert(DescribeSignatureCheck(check)).second) << DescribeSignatureCheck(check);
    }
}

}  // namespace
