#pragma once
// ECDSA on the NIST P-256 curve with SHA-256, from the system's library:
// BCrypt (CNG) on Windows, OpenSSL's libcrypto natively. Keys and
// signatures travel as fixed-size byte strings, so both builds read what
// the other wrote.
#include "crypto/crypto_primitives.h"

#include <array>
#include <cstddef>
#include <cstdint>

using EcdsaPublicKey = std::array<uint8_t, 65>;  // uncompressed point 0x04 || X || Y
using EcdsaSignature = std::array<uint8_t, 64>;  // r || s, each big-endian

// The secret scalar and its public point. The scalar is wiped when the
// object goes.
class EcdsaPrivateKey {
public:
    EcdsaPrivateKey() = default;
    EcdsaPrivateKey(const EcdsaPrivateKey&) = default;
    EcdsaPrivateKey& operator=(const EcdsaPrivateKey&) = default;
    ~EcdsaPrivateKey() {
        // Through a volatile pointer, so that the compiler cannot drop the
        // stores to memory that is about to go.
        volatile uint8_t* secret = Secret.data();
        for (size_t i = 0; i < Secret.size(); ++i) secret[i] = 0;
    }

    std::array<uint8_t, 32> Secret{};  // big-endian
    EcdsaPublicKey Public{};
};

bool GenerateEcdsaKey(EcdsaPrivateKey& key);

// Signs a SHA-256 digest (ECDSA-with-SHA256 over the bytes it was taken of).
bool SignSha256Digest(const EcdsaPrivateKey& key, const Sha256Digest& digest, EcdsaSignature& signature);

enum class EcdsaVerdict {
    Valid,
    Invalid,      // the signature is not this key's over this digest
    BadKey,       // not a point of the curve in the uncompressed form
    Unavailable,  // the system offers no ECDSA P-256
};
EcdsaVerdict VerifySha256Digest(const EcdsaPublicKey& key, const Sha256Digest& digest,
                                const EcdsaSignature& signature);
