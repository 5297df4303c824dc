#include "crypto/file_digests.h"

#include "base/file_io.h"
#include "base/number_text.h"
#include "crypto/md5_digest.h"
#include "crypto/sha256_stream.h"

#include <optional>
#include <utility>

// MD5 is the updater's own code rather than BCrypt's: the result is the
// same, and Wine's BCrypt MD5 runs at a third of md5sum's speed, which
// would make every check of a large install three times slower.
bool DigestFile(const std::string& path, bool withSha256, FileDigests& digests) {
    digests = {};
    Md5Digest md5;
    std::optional<Sha256Stream> sha256;
    if (withSha256) sha256.emplace();
    const bool read = ReadFileBlocks(path, [&](const uint8_t* bytes, size_t count) {
        md5.Update(bytes, count);
        if (sha256) sha256->Update(bytes, count);
    });
    if (!read) return false;
    Sha256Digest sha256Bytes{};
    if (sha256 && !sha256->Finish(sha256Bytes)) return false;
    const auto md5Bytes = md5.Finish();
    digests.Md5 = LowerHex(md5Bytes.data(), md5Bytes.size());
    if (sha256) digests.Sha256 = LowerHex(sha256Bytes.data(), sha256Bytes.size());
    return true;
}

int32_t CMD5::GetFileMD5(const std::string& path, std::string& digest) {
    FileDigests digests;
    const bool read = DigestFile(path, false, digests);
    digest = std::move(digests.Md5);
    return read ? 0 : -1;
}
