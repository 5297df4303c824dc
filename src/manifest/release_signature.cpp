#include "manifest/release_signature.h"

#include "base/base64.h"
#include "base/file_io.h"

#include <algorithm>

namespace {
// One line: the base64 text, and at most one line end after it.
std::string_view WithoutLineEnd(std::string_view text) {
    if (text.ends_with("\r\n")) return text.substr(0, text.size() - 2);
    if (text.ends_with('\n')) return text.substr(0, text.size() - 1);
    return text;
}

bool ParseSignatureFile(std::string_view text, EcdsaSignature& signature) {
    std::string bytes;
    if (!DecodeBase64(WithoutLineEnd(text), bytes) || bytes.size() != signature.size()) return false;
    std::copy(bytes.begin(), bytes.end(), signature.begin());
    return true;
}
}  // namespace

const char* DescribeSignatureCheck(SignatureCheck check) {
    switch (check) {
    case SignatureCheck::Verified:
        return "signature verified";
    case SignatureCheck::KeyUnreadable:
        return "the configured release key cannot be read";
    case SignatureCheck::SignatureMissing:
        return "the manifest's signature could not be fetched or read";
    case SignatureCheck::SignatureMalformed:
        return "the manifest's signature is malformed";
    case SignatureCheck::SignatureMismatch:
        return "the manifest's signature does not verify with the release key";
    case SignatureCheck::VerifierUnavailable:
        return "the system cannot verify ECDSA P-256 signatures";
    }
    return "unknown signature check";
}

std::string FormatReleaseKey(const EcdsaPublicKey& key) { return EncodeBase64(key.data(), key.size()); }

bool ParseReleaseKey(std::string_view text, EcdsaPublicKey& key) {
    std::string bytes;
    if (!DecodeBase64(text, bytes) || bytes.size() != key.size() || bytes[0] != 0x04) return false;
    std::copy(bytes.begin(), bytes.end(), key.begin());
    return true;
}

std::string FormatSignatureFile(const EcdsaSignature& signature) {
    return EncodeBase64(signature.data(), signature.size()) + "\n";
}

bool SignManifest(const EcdsaPrivateKey& key, std::string_view manifest, std::string& signatureFile) {
    Sha256Digest digest;
    EcdsaSignature signature;
    if (!ComputeSha256(manifest, digest) || !SignSha256Digest(key, digest, signature)) return false;
    signatureFile = FormatSignatureFile(signature);
    return true;
}

SignatureCheck CheckManifestSignature(std::string_view manifest, std::string_view signatureFile,
                                      std::string_view releaseKey) {
    EcdsaPublicKey key;
    if (!ParseReleaseKey(releaseKey, key)) return SignatureCheck::KeyUnreadable;
    EcdsaSignature signature;
    if (!ParseSignatureFile(signatureFile, signature)) return SignatureCheck::SignatureMalformed;
    Sha256Digest digest;
    if (!ComputeSha256(manifest, digest)) return SignatureCheck::VerifierUnavailable;
    switch (VerifySha256Digest(key, digest, signature)) {
    case EcdsaVerdict::Valid:
        return SignatureCheck::Verified;
    case EcdsaVerdict::Invalid:
        return SignatureCheck::SignatureMismatch;
    case EcdsaVerdict::BadKey:
        return SignatureCheck::KeyUnreadable;
    case EcdsaVerdict::Unavailable:
        return SignatureCheck::VerifierUnavailable;
    }
    return SignatureCheck::VerifierUnavailable;
}

SignatureCheck CheckFetchedSignature(std::string_view manifest, const std::string& signaturePath,
                                     std::string_view releaseKey) {
    EcdsaPublicKey key;
    if (!ParseReleaseKey(releaseKey, key)) return SignatureCheck::KeyUnreadable;
    if (signaturePath.empty()) return SignatureCheck::SignatureMissing;
    std::string signatureFile;
    switch (ReadWholeFile(signaturePath, kMaxSignatureFileBytes, signatureFile)) {
    case FileReadStatus::Ok:
        return CheckManifestSignature(manifest, signatureFile, releaseKey);
    case FileReadStatus::TooLarge:
        return SignatureCheck::SignatureMalformed;
    case FileReadStatus::Missing:
    case FileReadStatus::Failed:
        break;
    }
    return SignatureCheck::SignatureMissing;
}
