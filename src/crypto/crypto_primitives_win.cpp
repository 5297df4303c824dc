#include "crypto/crypto_primitives.h"

#include "crypto/bcrypt_handles_win.h"

#include <limits>

namespace {
PUCHAR Bytes(std::string_view text) { return reinterpret_cast<PUCHAR>(const_cast<char*>(text.data())); }

UniqueKey GcmKey(BCRYPT_ALG_HANDLE algorithm, const AesGcmKey& key) {
    BCRYPT_KEY_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptSetProperty(algorithm, BCRYPT_CHAINING_MODE,
                                          reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_GCM)),
                                          sizeof(BCRYPT_CHAIN_MODE_GCM), 0)))
        return {};
    if (!BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(algorithm, &handle, nullptr, 0, const_cast<PUCHAR>(key.data()),
                                                   static_cast<ULONG>(key.size()), 0)))
        return {};
    return UniqueKey(handle);
}

BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO AuthInfo(const AesGcmNonce& nonce, AesGcmTag& tag) {
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
    BCRYPT_INIT_AUTH_MODE_INFO(info);
    info.pbNonce = const_cast<PUCHAR>(nonce.data());
    info.cbNonce = static_cast<ULONG>(nonce.size());
    info.pbTag = tag.data();
    info.cbTag = static_cast<ULONG>(tag.size());
    return info;
}

bool FitsUlong(size_t size) { return size <= std::numeric_limits<ULONG>::max(); }
}  // namespace

bool ComputeSha256(std::string_view data, Sha256Digest& digest) {
    const UniqueAlgorithm algorithm = OpenAlgorithm(BCRYPT_SHA256_ALGORITHM);
    if (!algorithm || !FitsUlong(data.size())) return false;
    const UniqueHash hash = CreateHash(algorithm.get());
    return hash && BCRYPT_SUCCESS(BCryptHashData(hash.get(), Bytes(data), static_cast<ULONG>(data.size()), 0)) &&
           BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
}

bool FillRandom(uint8_t* bytes, size_t count) {
    return FitsUlong(count) &&
           BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

bool AesGcmSeal(const AesGcmKey& key, const AesGcmNonce& nonce, std::string_view plain, std::string& cipher,
                AesGcmTag& tag) {
    const UniqueAlgorithm algorithm = OpenAlgorithm(BCRYPT_AES_ALGORITHM);
    if (!algorithm || !FitsUlong(plain.size())) return false;
    const UniqueKey handle = GcmKey(algorithm.get(), key);
    if (!handle) return false;
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = AuthInfo(nonce, tag);
    cipher.assign(plain.size(), '\0');
    ULONG written = 0;
    // GCM is a stream mode: the output is exactly as long as the input.
    return BCRYPT_SUCCESS(BCryptEncrypt(handle.get(), Bytes(plain), static_cast<ULONG>(plain.size()), &info, nullptr,
                                        0, reinterpret_cast<PUCHAR>(cipher.data()), static_cast<ULONG>(cipher.size()),
                                        &written, 0)) &&
           written == plain.size();
}

bool AesGcmOpen(const AesGcmKey& key, const AesGcmNonce& nonce, std::string_view cipher, const AesGcmTag& tag,
                std::string& plain) {
    plain.clear();
    const UniqueAlgorithm algorithm = OpenAlgorithm(BCRYPT_AES_ALGORITHM);
    if (!algorithm || !FitsUlong(cipher.size())) return false;
    const UniqueKey handle = GcmKey(algorithm.get(), key);
    if (!handle) return false;
    AesGcmTag expected = tag;
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = AuthInfo(nonce, expected);
    std::string output(cipher.size(), '\0');
    ULONG written = 0;
    if (!BCRYPT_SUCCESS(BCryptDecrypt(handle.get(), Bytes(cipher), static_cast<ULONG>(cipher.size()), &info, nullptr,
                                      0, reinterpret_cast<PUCHAR>(output.data()), static_cast<ULONG>(output.size()),
                                      &written, 0)) ||
        written != cipher.size())
        return false;
    plain = std::move(output);
    return true;
}
