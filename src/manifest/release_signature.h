#pragma once
// Signed releases: a manifest is trusted only when its detached signature
// ("<manifest>.sig", one line of base64 of the 64-byte r||s ECDSA P-256
// signature over SHA-256 of the manifest's exact bytes) verifies with the
// release key that the installation holds ("ReleaseKey": one line of base64
// of the 65-byte uncompressed public point).
#include "crypto/ecdsa_p256.h"

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr char kSignatureSuffix[] = ".sig";
// A signature file is one short line; anything much longer is not one.
inline constexpr size_t kMaxSignatureFileBytes = 1024;

enum class SignatureCheck {
    Verified,
    KeyUnreadable,        // the release key is not base64 of an uncompressed P-256 point
    SignatureMissing,     // no signature file could be fetched (or read once fetched)
    SignatureMalformed,   // not one line of base64 holding 64 bytes
    SignatureMismatch,    // does not verify over these bytes with this key
    VerifierUnavailable,  // the system offers no ECDSA P-256
};

// Why a manifest was refused (or that it was not), in words for the run log.
const char* DescribeSignatureCheck(SignatureCheck check);

// The key line and the signature file's text, as the publisher writes them.
std::string FormatReleaseKey(const EcdsaPublicKey& key);
bool ParseReleaseKey(std::string_view text, EcdsaPublicKey& key);
std::string FormatSignatureFile(const EcdsaSignature& signature);

// The signature file's text for a manifest's bytes; false when signing failed.
bool SignManifest(const EcdsaPrivateKey& key, std::string_view manifest, std::string& signatureFile);

// The manifest's bytes against the signature file's text. The key is
// judged first: a broken installation says so whatever the server sent.
SignatureCheck CheckManifestSignature(std::string_view manifest, std::string_view signatureFile,
                                      std::string_view releaseKey);

// The same with the signature file where it was fetched to; an empty path
// means that it could not be fetched.
SignatureCheck CheckFetchedSignature(std::string_view manifest, const std::string& signaturePath,
                                     std::string_view releaseKey);
