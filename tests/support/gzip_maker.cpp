#include "support/gzip_maker.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>

std::string Gzip(const std::function<bool(std::string&)>& produce, int level) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out;
    std::string block;
    char buffer[65536];
    bool more = true;
    while (more) {
        block.clear();
        more = produce(block);
        z.next_in = reinterpret_cast<Bytef*>(block.data());
        z.avail_in = static_cast<uInt>(block.size());
        int result = Z_OK;
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = sizeof buffer;
            result = deflate(&z, more ? Z_NO_FLUSH : Z_FINISH);
            out.append(buffer, sizeof buffer - z.avail_out);
        } while (z.avail_out == 0 || (!more && result != Z_STREAM_END));
    }
    deflateEnd(&z);
    return out;
}

std::string Gzip(const std::string& data, int level) {
    bool given = false;
    return Gzip(
        [&](std::string& block) {
            if (!given) block = data;
            given = true;
            return false;
        },
        level);
}

std::string GzipOfZeros(uint64_t size) {
    uint64_t produced = 0;
    return Gzip([&](std::string& block) {
        block.assign(static_cast<size_t>(std::min<uint64_t>(size - produced, 1 << 20)), '\0');
        produced += block.size();
        return produced < size;
    });
}

std::string RandomText(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string text(size, ' ');
    for (char& c : text) c = "abcdefgh \r\n"[generator() % 11];
    return text;
}
