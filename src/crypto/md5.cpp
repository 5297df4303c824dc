#include "crypto/md5.h"

#include "crypto/file_digests.h"

int32_t CMD5::GetFileMD5(const std::string& path, std::string& digest) {
    FileDigests digests;
    const bool read = DigestFile(path, false, digests);
    digest = std::move(digests.Md5);
    return read ? 0 : -1;
}
