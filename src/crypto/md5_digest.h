#pragma once
// MD5 (RFC 1321) over a stream of bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class Md5Digest {
public:
    Md5Digest() = default;
    void Update(const void* data, size_t size);
    std::array<uint8_t, 16> Finish();

private:
    void Transform(const uint8_t* block);
    std::array<uint32_t, 4> state_{0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u};
    std::array<uint8_t, 64> pending_{};
    size_t pendingSize_ = 0;
    uint64_t totalBytes_ = 0;
};

// The MD5 of bytes in memory as 32 lowercase hexadecimal digits, the form
// manifests carry.
std::string Md5Hex(std::string_view bytes);
