#pragma once
// The publisher's release key: made once with "publisher keygen", kept off
// the update server, used by "--sign" for every release.
#include "crypto/ecdsa_p256.h"

#include <filesystem>
#include <iosfwd>
#include <string>

// Creates a key pair, writes the private key to privateKeyFile (which must
// not exist yet; only its owner may read it) and the public key line to
// privateKeyFile + ".pub", and prints that line to out. 0 on success, 1
// otherwise (the reason goes to log).
int CreateReleaseKey(const std::filesystem::path& privateKeyFile, std::ostream& out, std::ostream& log);

// The private key from its file; false with error set to a one-line reason.
bool LoadReleaseKey(const std::filesystem::path& privateKeyFile, EcdsaPrivateKey& key, std::string& error);
