#include "publisher/release_key.h"

#include "manifest/release_signature.h"
#include "publisher/private_key_file.h"
#include "publisher/publisher_cli.h"

#include <fstream>
#include <iterator>
#include <ostream>

namespace {
constexpr size_t kMaxKeyFileBytes = 64 * 1024;
}  // namespace

int CreateReleaseKey(const std::filesystem::path& privateKeyFile, std::ostream& out, std::ostream& log) {
    EcdsaPrivateKey key;
    if (!GenerateEcdsaKey(key)) {
        log << "publisher: the system could not make an ECDSA P-256 key\n";
        return 1;
    }
    std::string error;
    // Never over an existing file: that could be the key every installed
    // client trusts, and nothing would bring it back.
    if (!WriteNewOwnerOnlyFile(privateKeyFile, FormatPrivateKeyFile(key), error)) {
        log << "publisher: cannot write " << Utf8Of(privateKeyFile) << ": " << error << '\n';
        return 1;
    }
    const std::string keyLine = FormatReleaseKey(key.Public);
    std::filesystem::path publicKeyFile = privateKeyFile;
    publicKeyFile += ".pub";
    std::ofstream publicKey(publicKeyFile, std::ios::binary | std::ios::trunc);
    publicKey << keyLine << '\n';
    publicKey.close();
    if (!publicKey) {
        log << "publisher: cannot write " << Utf8Of(publicKeyFile) << '\n';
        return 1;
    }
    out << keyLine << '\n';
    log << "publisher: private key in " << Utf8Of(privateKeyFile)
        << " (keep it off the update server); public key in " << Utf8Of(publicKeyFile)
        << ": set it as [Update] ReleaseKey in each client's Config.dat\n";
    return 0;
}

bool LoadReleaseKey(const std::filesystem::path& privateKeyFile, EcdsaPrivateKey& key, std::string& error) {
    std::ifstream file(privateKeyFile, std::ios::binary);
    std::string text;
    if (file) text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (!file.good() && !file.eof()) {
        error = "cannot read " + Utf8Of(privateKeyFile);
        return false;
    }
    if (text.size() > kMaxKeyFileBytes || !ParsePrivateKeyFile(text, key)) {
        error = Utf8Of(privateKeyFile) + " holds no unencrypted ECDSA P-256 private key (PKCS#8 PEM)";
        return false;
    }
    return true;
}
