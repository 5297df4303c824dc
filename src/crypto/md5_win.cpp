#include "crypto/md5.h"

#include "base/hex_text.h"
#include "base/long_path_win.h"
#include "crypto/md5_digest.h"
#include "base/handles_win.h"

#include <vector>

// The digest is computed by the updater's own MD5 rather than BCrypt's: the
// result is the same, and Wine's BCrypt MD5 runs at a third of md5sum's
// speed, which would make every check of a large install three times slower.
namespace {
constexpr DWORD kBlockBytes = 1u << 20;

bool HashFile(HANDLE file, Md5Digest& md5) {
    // One block per thread for its whole life: allocating (and zeroing) a
    // fresh megabyte per file would cost more than hashing a small file.
    thread_local std::vector<unsigned char> block(kBlockBytes);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, block.data(), kBlockBytes, &read, nullptr)) return false;
        if (read == 0) return true;
        md5.Update(block.data(), read);
    }
}
}  // namespace

int32_t CMD5::GetFileMD5(const std::string& path, std::string& digest) {
    digest.clear();
    // Shared for writing and deleting too: the installed files being checked
    // may be open in the running client.
    const UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                          nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return -1;
    Md5Digest md5;
    if (!HashFile(file.get(), md5)) return -1;
    const auto bytes = md5.Finish();
    digest = LowerHex(bytes.data(), bytes.size());
    return 0;
}
