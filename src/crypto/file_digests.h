#pragma once
// Digests of a file's bytes as lowercase hexadecimal text (as md5sum and
// sha256sum print them), from one read of the file.
#include <cstdint>
#include <string>

struct FileDigests {
    std::string Md5;     // 32 digits
    std::string Sha256;  // 64 digits; empty unless asked for
};

// False (and both digests empty) when the path is no regular file that can
// be read to its end, or the system's SHA-256 could not be used.
bool DigestFile(const std::string& path, bool withSha256, FileDigests& digests);

class CMD5 {
public:
    // 32 lowercase hexadecimal digits of the file's MD5, streamed in large
    // blocks. Returns 0 on success; otherwise -1 and an empty digest.
    static int32_t GetFileMD5(const std::string& path, std::string& digest);
};
