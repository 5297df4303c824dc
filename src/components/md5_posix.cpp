#include "components/md5.h"

#include "components/hex_text.h"
#include "components/path_info.h"
#include "components/unique_fd_posix.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <vector>

namespace {
constexpr size_t kBlockBytes = 1u << 20;

struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

bool HashFile(int fd, EVP_MD_CTX* context) {
    std::vector<char> block(kBlockBytes);
    for (;;) {
        const ssize_t got = read(fd, block.data(), block.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (EVP_DigestUpdate(context, block.data(), static_cast<size_t>(got)) != 1) return false;
    }
}
}  // namespace

int32_t CMD5::GetFileMD5(const std::string& path, std::string& digest) {
    digest.clear();
    const UniqueFd file(open(ToFileSystemPath(path).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!file || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    const std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1 || !HashFile(file.get(), context.get()))
        return -1;
    unsigned char bytes[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), bytes, &length) != 1) return -1;
    digest = LowerHex(bytes, length);
    return 0;
}
