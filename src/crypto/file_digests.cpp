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

struct CWrittenDigests::Streams {
    Md5Digest md5;
    std::optional<Sha256Stream> sha256;
};

CWrittenDigests::CWrittenDigests(bool withSha256) : withSha256_(withSha256) {}

CWrittenDigests::~CWrittenDigests() = default;

void CWrittenDigests::Add(uint64_t offset, std::string_view bytes) {
    if (offset == 0) {
        streams_ = std::make_unique<Streams>();
        if (withSha256_) streams_->sha256.emplace();
        next_ = 0;
    }
    if (!streams_) return;
    if (offset != next_) {
        streams_.reset();
        return;
    }
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    streams_->md5.Update(data, bytes.size());
    if (streams_->sha256) streams_->sha256->Update(data, bytes.size());
    next_ += bytes.size();
}

std::optional<FileDigests> CWrittenDigests::Of(uint64_t size) {
    const std::unique_ptr<Streams> streams = std::move(streams_);
    if (!streams || next_ != size) return std::nullopt;
    FileDigests digests;
    Sha256Digest sha256{};
    if (streams->sha256 && !streams->sha256->Finish(sha256)) return std::nullopt;
    const auto md5 = streams->md5.Finish();
    digests.Md5 = LowerHex(md5.data(), md5.size());
    if (streams->sha256) digests.Sha256 = LowerHex(sha256.data(), sha256.size());
    return digests;
}

int32_t CMD5::GetFileMD5(const std::string& path, std::string& digest) {
    FileDigests digests;
    const bool read = DigestFile(path, false, digests);
    digest = std::move(digests.Md5);
    return read ? 0 : -1;
}
