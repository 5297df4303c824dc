#pragma once
// The encrypted configuration file layout:
//   "QCF1" | 12-byte random nonce | AES-256-GCM ciphertext | 16-byte tag
// with no additional authenticated data; the key is SHA-256 of
// "QIRA.Update.ConfigKey.v1" followed by the key argument. The plain text is
// the configuration syntax of config_syntax.h, serialised with CRLF.
#include "base/failure.h"
#include "config/config_syntax.h"

#include <cstddef>
#include <string>
#include <string_view>

// Larger files are not configuration of ours: they read as Unreadable.
constexpr size_t kMaxConfigFileBytes = 64u << 20;

enum class CryptConfigState {
    Missing,     // no file: every key reads as its default
    Encrypted,   // decrypted and parsed
    Plain,       // no magic: plain text, as an administrator may seed it
    Corrupt,     // magic, but too short or a tag that does not verify
    Unreadable,  // exists but could not be read (locked, no access, too large): never overwritten
    NotText,     // no magic, and no configuration text either (UTF-16, binary): never overwritten
};

struct CryptConfigContent {
    CryptConfigState State = CryptConfigState::Missing;
    ConfigDocument Document;  // empty unless Encrypted or Plain
    std::string RawBytes;     // the file's bytes as read (kept aside before a corrupt file is replaced)
};

// Interprets a file's bytes (plain or encrypted).
CryptConfigContent DecodeCryptConfig(std::string bytes, const std::string& key);
CryptConfigContent LoadCryptConfig(const std::string& path, const std::string& key);

// The encrypted bytes of a document, with a fresh nonce; false when the
// system's cryptography failed.
bool EncodeCryptConfig(const ConfigDocument& document, const std::string& key, std::string& bytes);

// The suffix under which a corrupt file's bytes are kept before it is replaced.
constexpr std::string_view kCorruptSuffix = ".corrupt";

// Encrypts the document and replaces path with it atomically. A corrupt
// previous file (previous.State == Corrupt) is first kept as
// path + ".corrupt"; when that fails nothing is replaced. An Unreadable
// previous file is never replaced, since its keys could not be merged.
Status StoreCryptConfig(const std::string& path, const std::string& key, const ConfigDocument& document,
                      const CryptConfigContent& previous);
