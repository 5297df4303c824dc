#include "crypto/md5.h"

#include "base/hex_text.h"
#include "crypto/md5_digest.h"
#include "base/path_info.h"
#include "base/unique_fd_posix.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

namespace {
constexpr size_t kBlockBytes = 1u << 20;

bool HashFile(int fd, Md5Digest& md5) {
    // One block per thread for its whole life: allocating (and zeroing) a
    // fresh megabyte per file would cost more than hashing a small file.
    thread_local std::vector<char> block(kBlockBytes);
    for (;;) {
        const ssize_t got = read(fd, block.data(), block.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        md5.Update(block.data(), static_cast<size_t>(got));
    }
}
}  // namespace

int32_t CMD5::GetFileMD5(const std::string& path, std::string& digest) {
    digest.clear();
    const UniqueFd file(open(ToFileSystemPath(path).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!file || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    Md5Digest md5;
    if (!HashFile(file.get(), md5)) return -1;
    const auto bytes = md5.Finish();
    digest = LowerHex(bytes.data(), bytes.size());
    return 0;
}
