#include "crypto/crypto_primitives.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include "base/unique_any.h"

#include <climits>

namespace {
void FreeCipherContext(EVP_CIPHER_CTX* context) { EVP_CIPHER_CTX_free(context); }
using CipherContext = unique_any<EVP_CIPHER_CTX*, &FreeCipherContext>;

const unsigned char* Bytes(std::string_view text) { return reinterpret_cast<const unsigned char*>(text.data()); }
unsigned char* Bytes(std::string& text) { return reinterpret_cast<unsigned char*>(text.data()); }

CipherContext GcmContext(bool encrypt, const AesGcmKey& key, const AesGcmNonce& nonce) {
    CipherContext context(EVP_CIPHER_CTX_new());
    if (!context) return {};
    if (EVP_CipherInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr, encrypt ? 1 : 0) != 1 ||
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(nonce.size()), nullptr) != 1 ||
        EVP_CipherInit_ex(context.get(), nullptr, nullptr, key.data(), nonce.data(), encrypt ? 1 : 0) != 1)
        return {};
    return context;
}
}  // namespace

bool ComputeSha256(std::string_view data, Sha256Digest& digest) {
    unsigned int length = 0;
    return EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_sha256(), nullptr) == 1 &&
           length == digest.size();
}

bool FillRandom(uint8_t* bytes, size_t count) { return count <= INT_MAX && RAND_bytes(bytes, static_cast<int>(count)) == 1; }

bool AesGcmSeal(const AesGcmKey& key, const AesGcmNonce& nonce, std::string_view plain, std::string& cipher,
                AesGcmTag& tag) {
    if (plain.size() > INT_MAX) return false;
    const CipherContext context = GcmContext(true, key, nonce);
    if (!context) return false;
    cipher.assign(plain.size(), '\0');
    int written = 0;
    int final = 0;
    return EVP_EncryptUpdate(context.get(), Bytes(cipher), &written, Bytes(plain), static_cast<int>(plain.size())) == 1 &&
           EVP_EncryptFinal_ex(context.get(), Bytes(cipher) + written, &final) == 1 &&
           static_cast<size_t>(written + final) == plain.size() &&
           EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(tag.size()), tag.data()) == 1;
}

bool AesGcmOpen(const AesGcmKey& key, const AesGcmNonce& nonce, std::string_view cipher, const AesGcmTag& tag,
                std::string& plain) {
    plain.clear();
    if (cipher.size() > INT_MAX) return false;
    const CipherContext context = GcmContext(false, key, nonce);
    if (!context) return false;
    std::string output(cipher.size(), '\0');
    AesGcmTag expected = tag;
    int written = 0;
    int final = 0;
    if (EVP_DecryptUpdate(context.get(), Bytes(output), &written, Bytes(cipher), static_cast<int>(cipher.size())) != 1 ||
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(expected.size()), expected.data()) != 1 ||
        EVP_DecryptFinal_ex(context.get(), Bytes(output) + written, &final) != 1)
        return false;
    output.resize(static_cast<size_t>(written + final));
    plain = std::move(output);
    return true;
}
