#include "crypto/ecdsa_p256.h"

#include "crypto/bcrypt_handles_win.h"

#include <algorithm>
#include <vector>

namespace {
constexpr ULONG kCoordinateBytes = 32;
constexpr ULONG kHeaderBytes = sizeof(BCRYPT_ECCKEY_BLOB);

// BCrypt's key blobs: the header, X, Y and, for a private key, the scalar.
class EccKeyBlob {
public:
    EccKeyBlob(ULONG magic, const EcdsaPublicKey& point, const uint8_t* secret) {
        bytes_.resize(kHeaderBytes + (secret ? 3 : 2) * kCoordinateBytes);
        const BCRYPT_ECCKEY_BLOB header{magic, kCoordinateBytes};
        std::copy_n(reinterpret_cast<const UCHAR*>(&header), kHeaderBytes, bytes_.begin());
        std::copy(point.begin() + 1, point.end(), bytes_.begin() + kHeaderBytes);
        if (secret) std::copy_n(secret, kCoordinateBytes, bytes_.begin() + kHeaderBytes + 2 * kCoordinateBytes);
    }
    explicit EccKeyBlob(size_t size) : bytes_(size) {}
    ~EccKeyBlob() { SecureZeroMemory(bytes_.data(), bytes_.size()); }
    EccKeyBlob(const EccKeyBlob&) = delete;
    EccKeyBlob& operator=(const EccKeyBlob&) = delete;

    PUCHAR data() { return bytes_.data(); }
    ULONG size() const { return static_cast<ULONG>(bytes_.size()); }
    const UCHAR* Coordinates() const { return bytes_.data() + kHeaderBytes; }
    bool HasHeader(ULONG magic) const {
        BCRYPT_ECCKEY_BLOB header{};
        std::copy_n(bytes_.begin(), kHeaderBytes, reinterpret_cast<UCHAR*>(&header));
        return header.dwMagic == magic && header.cbKey == kCoordinateBytes;
    }

private:
    std::vector<UCHAR> bytes_;
};

UniqueKey ImportKey(BCRYPT_ALG_HANDLE algorithm, LPCWSTR blobType, EccKeyBlob& blob) {
    BCRYPT_KEY_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptImportKeyPair(algorithm, nullptr, blobType, &handle, blob.data(), blob.size(), 0))) {
        return {};
    }
    return UniqueKey(handle);
}

PUCHAR Bytes(const Sha256Digest& digest) { return const_cast<PUCHAR>(digest.data()); }
}  // namespace

bool GenerateEcdsaKey(EcdsaPrivateKey& key) {
    const UniqueAlgorithm algorithm = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!algorithm) return false;
    UniqueKey handle;
    if (!BCRYPT_SUCCESS(BCryptGenerateKeyPair(algorithm.get(), handle.put(), 256, 0)) ||
        !BCRYPT_SUCCESS(BCryptFinalizeKeyPair(handle.get(), 0))) {
        return false;
    }
    EccKeyBlob blob(kHeaderBytes + 3 * kCoordinateBytes);
    ULONG written = 0;
    if (!BCRYPT_SUCCESS(BCryptExportKey(handle.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(), blob.size(),
                                        &written, 0)) ||
        written != blob.size() || !blob.HasHeader(BCRYPT_ECDSA_PRIVATE_P256_MAGIC)) {
        return false;
    }
    key.Public[0] = 0x04;
    std::copy_n(blob.Coordinates(), 2 * kCoordinateBytes, key.Public.begin() + 1);
    std::copy_n(blob.Coordinates() + 2 * kCoordinateBytes, kCoordinateBytes, key.Secret.begin());
    return true;
}

bool SignSha256Digest(const EcdsaPrivateKey& key, const Sha256Digest& digest, EcdsaSignature& signature) {
    const UniqueAlgorithm algorithm = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!algorithm || key.Public[0] != 0x04) return false;
    EccKeyBlob blob(BCRYPT_ECDSA_PRIVATE_P256_MAGIC, key.Public, key.Secret.data());
    const UniqueKey handle = ImportKey(algorithm.get(), BCRYPT_ECCPRIVATE_BLOB, blob);
    ULONG written = 0;
    return handle &&
           BCRYPT_SUCCESS(BCryptSignHash(handle.get(), nullptr, Bytes(digest), static_cast<ULONG>(digest.size()),
                                         signature.data(), static_cast<ULONG>(signature.size()), &written, 0)) &&
           written == signature.size();
}

EcdsaVerdict VerifySha256Digest(const EcdsaPublicKey& key, const Sha256Digest& digest,
                                const EcdsaSignature& signature) {
    const UniqueAlgorithm algorithm = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!algorithm) return EcdsaVerdict::Unavailable;
    if (key[0] != 0x04) return EcdsaVerdict::BadKey;
    EccKeyBlob blob(BCRYPT_ECDSA_PUBLIC_P256_MAGIC, key, nullptr);
    // Windows refuses a point off the curve here; Wine takes it, and the
    // signature check below then fails instead.
    const UniqueKey handle = ImportKey(algorithm.get(), BCRYPT_ECCPUBLIC_BLOB, blob);
    if (!handle) return EcdsaVerdict::BadKey;
    const NTSTATUS status =
        BCryptVerifySignature(handle.get(), nullptr, Bytes(digest), static_cast<ULONG>(digest.size()),
                              const_cast<PUCHAR>(signature.data()), static_cast<ULONG>(signature.size()), 0);
    return BCRYPT_SUCCESS(status) ? EcdsaVerdict::Valid : EcdsaVerdict::Invalid;
}
