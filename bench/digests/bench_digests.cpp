// bench_digests FILE...
//
// What a signed release costs the client: the files read once for their
// MD5 alone (an unsigned release) and once for MD5 and SHA-256 together (a
// signed one), on one thread, best of three rounds; then the check of one
// release statement, the manifest's SHA-256 included. Prints "key value" lines for bench/digests/run.sh.
#include "crypto/ecdsa_p256.h"
#include "manifest/parallel_digests.h"
#include "manifest/release_signature.h"
#include "best_seconds.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_digests FILE...\n");
        return 2;
    }
    std::vector<DigestRequest> md5Only, both;
    for (int i = 1; i < argc; ++i) {
        md5Only.push_back({argv[i], false});
        both.push_back({argv[i], true});
    }
    bool read = true;
    const auto hash = [&](const std::vector<DigestRequest>& files) {
        for (const auto& digests : HashExistingFiles(files, 1)) read = read && digests.has_value();
    };
    std::printf("md5_seconds %.3f\n", BestSeconds([&] { hash(md5Only); }));
    std::printf("md5_sha256_seconds %.3f\n", BestSeconds([&] { hash(both); }));

    EcdsaPrivateKey key;
    const std::string manifest(256 * 1024, 'x');  // a manifest of some 2,000 files
    ReleaseStatement fields;
    fields.Target = 1;
    fields.Published = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    std::string statement;
    if (!GenerateEcdsaKey(key) || !ComputeSha256(manifest, fields.ManifestSha256) ||
        !SignReleaseStatement(key, fields, statement)) {
        return 1;
    }
    const std::string keyLine = FormatReleaseKey(key.Public);
    const StatementExpectation expected{manifest, keyLine, 1, fields.Published, fields.Published};
    bool verified = true;
    const double verifySeconds =
        BestSeconds([&] { verified = verified && CheckReleaseStatement(statement, expected).IsVerified(); });
    std::printf("signature_check_ms %.3f\n", verifySeconds * 1000);
    return read && verified ? 0 : 1;
}
