#pragma once
#include <cstdint>
#include <string>

class CMD5 {
public:
    // 32 lowercase hexadecimal digits of the file's MD5, streamed in large
    // blocks. Returns 0 on success; otherwise -1 and an empty digest.
    static int32_t GetFileMD5(const std::string& path, std::string& digest);
};
