#include "crypto/ecdsa_p256.h"

#include "base/unique_any.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <vector>

namespace {
constexpr size_t kCoordinateBytes = 32;
constexpr char kGroupName[] = "prime256v1";

void FreeKey(EVP_PKEY* key) { EVP_PKEY_free(key); }
void FreeKeyContext(EVP_PKEY_CTX* context) { EVP_PKEY_CTX_free(context); }
void FreeParamBuilder(OSSL_PARAM_BLD* builder) { OSSL_PARAM_BLD_free(builder); }
void FreeParams(OSSL_PARAM* params) { OSSL_PARAM_free(params); }
void FreeSecretNumber(BIGNUM* number) { BN_clear_free(number); }
void FreeNumber(BIGNUM* number) { BN_free(number); }
void FreeSignature(ECDSA_SIG* signature) { ECDSA_SIG_free(signature); }
void FreeBytes(unsigned char* bytes) { OPENSSL_free(bytes); }
using Key = unique_any<EVP_PKEY*, &FreeKey>;
using KeyContext = unique_any<EVP_PKEY_CTX*, &FreeKeyContext>;
using ParamBuilder = unique_any<OSSL_PARAM_BLD*, &FreeParamBuilder>;
using Params = unique_any<OSSL_PARAM*, &FreeParams>;
using SecretNumber = unique_any<BIGNUM*, &FreeSecretNumber>;
using Number = unique_any<BIGNUM*, &FreeNumber>;
using Signature = unique_any<ECDSA_SIG*, &FreeSignature>;
using OpenSslBytes = unique_any<unsigned char*, &FreeBytes>;

// A key from its raw parts; the secret is optional. OpenSSL checks that the
// point lies on the curve.
Key MakeKey(const EcdsaPublicKey& point, const std::array<uint8_t, 32>* secret) {
    const ParamBuilder builder(OSSL_PARAM_BLD_new());
    const SecretNumber secretNumber(secret ? BN_bin2bn(secret->data(), static_cast<int>(secret->size()), nullptr)
                                           : nullptr);
    if (!builder || (secret && !secretNumber) ||
        OSSL_PARAM_BLD_push_utf8_string(builder.get(), OSSL_PKEY_PARAM_GROUP_NAME, kGroupName, 0) != 1 ||
        OSSL_PARAM_BLD_push_octet_string(builder.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size()) != 1 ||
        (secret && OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_PRIV_KEY, secretNumber.get()) != 1)) {
        return {};
    }
    const Params params(OSSL_PARAM_BLD_to_param(builder.get()));
    const KeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    Key key;
    if (!params || !context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
        EVP_PKEY_fromdata(context.get(), key.put(), secret ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY,
                          params.get()) != 1) {
        return {};
    }
    return key;
}

// The context of one signing or verifying operation on a SHA-256 digest.
KeyContext DigestContext(EVP_PKEY* key, bool sign) {
    KeyContext context(EVP_PKEY_CTX_new(key, nullptr));
    if (!context || (sign ? EVP_PKEY_sign_init(context.get()) : EVP_PKEY_verify_init(context.get())) != 1 ||
        EVP_PKEY_CTX_set_signature_md(context.get(), EVP_sha256()) != 1) {
        return {};
    }
    return context;
}
}  // namespace

bool GenerateEcdsaKey(EcdsaPrivateKey& key) {
    const Key generated(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    if (!generated) return false;
    size_t pointSize = 0;
    SecretNumber secret;
    if (EVP_PKEY_get_octet_string_param(generated.get(), OSSL_PKEY_PARAM_PUB_KEY, key.Public.data(),
                                        key.Public.size(), &pointSize) != 1 ||
        pointSize != key.Public.size() || key.Public[0] != 0x04 ||
        EVP_PKEY_get_bn_param(generated.get(), OSSL_PKEY_PARAM_PRIV_KEY, secret.put()) != 1) {
        return false;
    }
    return BN_bn2binpad(secret.get(), key.Secret.data(), static_cast<int>(key.Secret.size())) ==
           static_cast<int>(key.Secret.size());
}

bool SignSha256Digest(const EcdsaPrivateKey& key, const Sha256Digest& digest, EcdsaSignature& signature) {
    const Key pkey = MakeKey(key.Public, &key.Secret);
    const KeyContext context = pkey ? DigestContext(pkey.get(), true) : KeyContext();
    size_t derSize = 0;
    if (!context || EVP_PKEY_sign(context.get(), nullptr, &derSize, digest.data(), digest.size()) != 1) return false;
    std::vector<unsigned char> der(derSize);
    if (EVP_PKEY_sign(context.get(), der.data(), &derSize, digest.data(), digest.size()) != 1) return false;
    const unsigned char* cursor = der.data();
    const Signature parsed(d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(derSize)));
    if (!parsed) return false;
    const BIGNUM* r = nullptr;
    const BIGNUM* s = nullptr;
    ECDSA_SIG_get0(parsed.get(), &r, &s);
    return BN_bn2binpad(r, signature.data(), kCoordinateBytes) == kCoordinateBytes &&
           BN_bn2binpad(s, signature.data() + kCoordinateBytes, kCoordinateBytes) == kCoordinateBytes;
}

EcdsaVerdict VerifySha256Digest(const EcdsaPublicKey& key, const Sha256Digest& digest,
                                const EcdsaSignature& signature) {
    if (key[0] != 0x04) return EcdsaVerdict::BadKey;
    const Key pkey = MakeKey(key, nullptr);
    if (!pkey) return EcdsaVerdict::BadKey;
    const KeyContext context = DigestContext(pkey.get(), false);
    if (!context) return EcdsaVerdict::Unavailable;
    // OpenSSL verifies the DER form; r and s become its two integers.
    Number r(BN_bin2bn(signature.data(), kCoordinateBytes, nullptr));
    Number s(BN_bin2bn(signature.data() + kCoordinateBytes, kCoordinateBytes, nullptr));
    const Signature parsed(ECDSA_SIG_new());
    if (!r || !s || !parsed || ECDSA_SIG_set0(parsed.get(), r.get(), s.get()) != 1) return EcdsaVerdict::Unavailable;
    r.release();  // owned by parsed now
    s.release();
    OpenSslBytes der;
    const int derSize = i2d_ECDSA_SIG(parsed.get(), der.put());
    if (derSize <= 0) return EcdsaVerdict::Unavailable;
    return EVP_PKEY_verify(context.get(), der.get(), static_cast<size_t>(derSize), digest.data(), digest.size()) == 1
               ? EcdsaVerdict::Valid
               : EcdsaVerdict::Invalid;
}
