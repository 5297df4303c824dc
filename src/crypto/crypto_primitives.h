#pragma once
// The few cryptographic operations the updater needs, from the system's own
// library: BCrypt (CNG) on Windows, OpenSSL's libcrypto natively.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using Sha256Digest = std::array<uint8_t, 32>;
using AesGcmKey = std::array<uint8_t, 32>;
using AesGcmNonce = std::array<uint8_t, 12>;
using AesGcmTag = std::array<uint8_t, 16>;

bool ComputeSha256(std::string_view data, Sha256Digest& digest);
// Bytes from the system's cryptographic random generator.
bool FillRandom(uint8_t* bytes, size_t count);

// AES-256-GCM without additional authenticated data.
bool AesGcmSeal(const AesGcmKey& key, const AesGcmNonce& nonce, std::string_view plain, std::string& cipher,
                AesGcmTag& tag);
// False when the tag does not verify; plain is then empty.
bool AesGcmOpen(const AesGcmKey& key, const AesGcmNonce& nonce, std::string_view cipher, const AesGcmTag& tag,
                std::string& plain);
