#include "config/crypt_config_store.h"

#include "crypto/crypto_primitives.h"
#include "base/file_io.h"

#include <array>
#include <cstring>

namespace {
constexpr std::string_view kMagic = "QCF1";
constexpr std::string_view kKeyLabel = "QIRA.Update.ConfigKey.v1";
constexpr size_t kHeaderBytes = kMagic.size() + std::tuple_size_v<AesGcmNonce>;
constexpr size_t kMinimumBytes = kHeaderBytes + std::tuple_size_v<AesGcmTag>;

bool DeriveKey(const std::string& keyArgument, AesGcmKey& key) {
    std::string material(kKeyLabel);
    material += keyArgument;
    Sha256Digest digest;
    if (!ComputeSha256(material, digest)) return false;
    std::memcpy(key.data(), digest.data(), key.size());
    return true;
}

// Configuration text is GBK or UTF-8, neither of which holds a NUL byte;
// UTF-16 and UTF-32 text holds one for every ASCII character.
bool IsNotText(std::string_view bytes) { return bytes.find('\0') != std::string_view::npos; }

template <typename Array>
Array CopyBytes(std::string_view bytes) {
    Array array;
    std::memcpy(array.data(), bytes.data(), array.size());
    return array;
}
}  // namespace

CryptConfigContent DecodeCryptConfig(std::string bytes, const std::string& key) {
    CryptConfigContent content;
    content.RawBytes = std::move(bytes);
    const std::string_view raw = content.RawBytes;
    if (raw.substr(0, kMagic.size()) != kMagic) {
        // Saved by an editor as UTF-16 (or not text at all), it would read
        // as no keys; the caller must learn that it cannot be used.
        if (IsNotText(raw)) {
            content.State = CryptConfigState::NotText;
            return content;
        }
        content.State = CryptConfigState::Plain;
        content.Document = ConfigDocument::Parse(raw);
        return content;
    }
    content.State = CryptConfigState::Corrupt;
    AesGcmKey derived;
    if (raw.size() < kMinimumBytes || !DeriveKey(key, derived)) return content;
    const auto nonce = CopyBytes<AesGcmNonce>(raw.substr(kMagic.size()));
    const auto tag = CopyBytes<AesGcmTag>(raw.substr(raw.size() - std::tuple_size_v<AesGcmTag>));
    const std::string_view cipher = raw.substr(kHeaderBytes, raw.size() - kMinimumBytes);
    std::string plain;
    if (!AesGcmOpen(derived, nonce, cipher, tag, plain)) return content;
    content.State = CryptConfigState::Encrypted;
    content.Document = ConfigDocument::Parse(plain);
    return content;
}

CryptConfigContent LoadCryptConfig(const std::string& path, const std::string& key) {
    std::string bytes;
    switch (ReadWholeFile(path, kMaxConfigFileBytes, bytes)) {
    case FileReadStatus::Ok:
        return DecodeCryptConfig(std::move(bytes), key);
    case FileReadStatus::Missing:
        return {};
    case FileReadStatus::TooLarge:  // not ours, and too large to keep a copy of
    case FileReadStatus::Failed:
        break;
    }
    CryptConfigContent content;
    content.State = CryptConfigState::Unreadable;
    return content;
}

bool EncodeCryptConfig(const ConfigDocument& document, const std::string& key, std::string& bytes) {
    AesGcmKey derived;
    AesGcmNonce nonce;
    AesGcmTag tag;
    std::string cipher;
    if (!DeriveKey(key, derived) || !FillRandom(nonce.data(), nonce.size()) ||
        !AesGcmSeal(derived, nonce, document.Serialize(), cipher, tag))
        return false;
    bytes.assign(kMagic);
    bytes.append(reinterpret_cast<const char*>(nonce.data()), nonce.size());
    bytes += cipher;
    bytes.append(reinterpret_cast<const char*>(tag.data()), tag.size());
    return true;
}

Status StoreCryptConfig(const std::string& path, const std::string& key, const ConfigDocument& document,
                        const CryptConfigContent& previous) {
    // Never overwrite what could not even be read: its keys would be lost.
    if (previous.State == CryptConfigState::Unreadable || previous.State == CryptConfigState::NotText) {
        return Failure{FailureKind::ConfigUnusable, 0, 0, "it could not be read, so its keys cannot be kept"};
    }
    std::string bytes;
    if (!EncodeCryptConfig(document, key, bytes)) {
        return Failure{FailureKind::LocalIo, 0, 0, "the system's cryptography failed"};
    }
    if (previous.State == CryptConfigState::Corrupt) {
        if (Status kept = ReplaceFileAtomically(path + std::string(kCorruptSuffix), previous.RawBytes); !kept) {
            return kept;
        }
    }
    return ReplaceFileAtomically(path, bytes);
}
