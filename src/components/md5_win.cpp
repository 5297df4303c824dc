#include "components/md5.h"

#include "components/bcrypt_handles_win.h"
#include "components/hex_text.h"
#include "components/long_path_win.h"
#include "components/unique_handle_win.h"

#include <array>
#include <vector>

namespace {
constexpr DWORD kBlockBytes = 1u << 20;

bool HashFile(HANDLE file, BCRYPT_HASH_HANDLE hash) {
    std::vector<UCHAR> block(kBlockBytes);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, block.data(), kBlockBytes, &read, nullptr)) return false;
        if (read == 0) return true;
        if (!BCRYPT_SUCCESS(BCryptHashData(hash, block.data(), read, 0))) return false;
    }
}
}  // namespace

int32_t CMD5::GetFileMD5(const std::string& path, std::string& digest) {
    digest.clear();
    // Shared for writing and deleting too: the installed files being checked
    // may be open in the running client.
    const UniqueHandle file = AdoptFileHandle(CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                          nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return -1;
    const UniqueAlgorithm algorithm = OpenAlgorithm(BCRYPT_MD5_ALGORITHM);
    if (!algorithm) return -1;
    const UniqueHash hash = CreateHash(algorithm.get());
    std::array<UCHAR, 16> bytes{};
    if (!hash || !HashFile(file.get(), hash.get()) ||
        !BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), bytes.data(), static_cast<ULONG>(bytes.size()), 0)))
        return -1;
    digest = LowerHex(bytes.data(), bytes.size());
    return 0;
}
