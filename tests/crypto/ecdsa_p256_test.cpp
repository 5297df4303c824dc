#include "crypto/ecdsa_p256.h"

#include "base/base64.h"
#include "support/rfc6979_vectors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

template <size_t N>
std::array<uint8_t, N> FromBase64(const char* text) {
    std::string bytes;
    EXPECT_TRUE(DecodeBase64(text, bytes));
    std::array<uint8_t, N> array{};
    EXPECT_EQ(bytes.size(), N);
    std::copy_n(bytes.begin(), std::min(N, bytes.size()), array.begin());
    return array;
}

Sha256Digest DigestOf(const std::string& message) {
    Sha256Digest digest{};
    EXPECT_TRUE(ComputeSha256(message, digest));
    return digest;
}

// Both builds verify the same published constants, so BCrypt and OpenSSL
// cannot drift apart in how they read keys and r||s.
const EcdsaPublicKey kRfcKey = FromBase64<65>(kRfcKeyLine);
const EcdsaSignature kRfcSample = FromBase64<64>(kRfcSampleSignature);
const EcdsaSignature kRfcTest = FromBase64<64>(kRfcTestSignature);

TEST(EcdsaP256Test, PublishedSignaturesVerifyAndNothingElseDoes) {
    EXPECT_EQ(VerifySha256Digest(kRfcKey, DigestOf("sample"), kRfcSample), EcdsaVerdict::Valid);
    EXPECT_EQ(VerifySha256Digest(kRfcKey, DigestOf("test"), kRfcTest), EcdsaVerdict::Valid);
    EXPECT_EQ(VerifySha256Digest(kRfcKey, DigestOf("test"), kRfcSample), EcdsaVerdict::Invalid);
    EXPECT_EQ(VerifySha256Digest(kRfcKey, DigestOf("samplE"), kRfcSample), EcdsaVerdict::Invalid);
    for (size_t byte : {0u, 31u, 32u, 63u}) {
        EcdsaSignature changed = kRfcSample;
        changed[byte] ^= 0x01;
        EXPECT_EQ(VerifySha256Digest(kRfcKey, DigestOf("sample"), changed), EcdsaVerdict::Invalid) << byte;
    }
    // r or s zero, and r and s all ones (beyond the group order).
    EcdsaSignature zeroR = kRfcSample;
    std::fill(zeroR.begin(), zeroR.begin() + 32, 0);
    EcdsaSignature zeroS = kRfcSample;
    std::fill(zeroS.begin() + 32, zeroS.end(), 0);
    EcdsaSignature ones;
    ones.fill(0xFF);
    for (const EcdsaSignature& bad : {zeroR, zeroS, ones, EcdsaSignature{}}) {
        EXPECT_EQ(VerifySha256Digest(kRfcKey, DigestOf("sample"), bad), EcdsaVerdict::Invalid);
    }
}

TEST(EcdsaP256Test, AKeyThatIsNoUncompressedPointVerifiesNothing) {
    EcdsaPublicKey compressedTag = kRfcKey;
    compressedTag[0] = 0x02;
    EXPECT_EQ(VerifySha256Digest(compressedTag, DigestOf("sample"), kRfcSample), EcdsaVerdict::BadKey);
    EXPECT_EQ(VerifySha256Digest(EcdsaPublicKey{}, DigestOf("sample"), kRfcSample), EcdsaVerdict::BadKey);
    // Off the curve: refused on import, or (Wine) by the check itself.
    EcdsaPublicKey offCurve = kRfcKey;
    offCurve[64] ^= 0x01;
    EXPECT_NE(VerifySha256Digest(offCurve, DigestOf("sample"), kRfcSample), EcdsaVerdict::Valid);
}

TEST(EcdsaP256Test, SignaturesOfAKnownKeyVerify) {
    EcdsaPrivateKey key;
    key.Secret = FromBase64<32>(kRfcSecret);
    key.Public = kRfcKey;
    EcdsaSignature first, second;
    ASSERT_TRUE(SignSha256Digest(key, DigestOf("sample"), first));
    ASSERT_TRUE(SignSha256Digest(key, DigestOf("sample"), second));
    EXPECT_EQ(VerifySha256Digest(kRfcKey, DigestOf("sample"), first), EcdsaVerdict::Valid);
    EXPECT_EQ(VerifySha256Digest(kRfcKey, DigestOf("sample"), second), EcdsaVerdict::Valid);
    EXPECT_NE(first, second) << "a fresh random nonce per signature";
}

TEST(EcdsaP256Test, GeneratedKeysSignForThemselvesOnly) {
    EcdsaPrivateKey a, b;
    ASSERT_TRUE(GenerateEcdsaKey(a));
    ASSERT_TRUE(GenerateEcdsaKey(b));
    EXPECT_EQ(a.Public[0], 0x04);
    EXPECT_NE(a.Public, b.Public);
    EXPECT_NE(a.Secret, b.Secret);
    EcdsaSignature signature;
    ASSERT_TRUE(SignSha256Digest(a, DigestOf("manifest"), signature));
    EXPECT_EQ(VerifySha256Digest(a.Public, DigestOf("manifest"), signature), EcdsaVerdict::Valid);
    EXPECT_EQ(VerifySha256Digest(b.Public, DigestOf("manifest"), signature), EcdsaVerdict::Invalid);
}

}  // namespace
