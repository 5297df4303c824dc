#include "transfer/gzip_decoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

namespace {

// gzip -9 of the bytes that produce(block) appends, block after block,
// until produce returns false.
std::string Gzip(const std::function<bool(std::string&)>& produce) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
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

std::string Gzip(const std::string& data) {
    bool given = false;
    return Gzip([&](std::string& block) {
        if (!given) block = data;
        given = true;
        return false;
    });
}

std::string RandomText(size_t size) {
    std::mt19937 generator(7);
    std::string text(size, ' ');
    for (char& c : text) c = "abcdefgh \r\n"[generator() % 11];
    return text;
}

struct Decoded {
    GzipStatus status;
    std::string output;
};

// Feeds the stream in pieces of `piece` bytes, as a transfer hands them over.
Decoded Decode(const std::string& compressed, uint64_t maxInput, uint64_t maxOutput, size_t piece = 1000) {
    Decoded decoded{GzipStatus::NeedsMore, {}};
    CGzipDecoder decoder(maxInput, maxOutput, [&](std::string_view block) {
        decoded.output.append(block);
        return true;
    });
    for (size_t at = 0; at < compressed.size() && decoded.status == GzipStatus::NeedsMore; at += piece) {
        decoded.status = decoder.Feed(std::string_view(compressed).substr(at, piece));
    }
    decoded.status = decoder.Finish();
    EXPECT_EQ(decoded.output.size(), decoder.OutputBytes());
    return decoded;
}

TEST(GzipDecoderTest, DecodesWhateverPiecesItArrivesIn) {
    const std::string data = RandomText(300000);
    const std::string compressed = Gzip(data);
    for (const size_t piece : {size_t{1}, size_t{17}, size_t{65536}, compressed.size()}) {
        const Decoded decoded = Decode(compressed, compressed.size(), data.size(), piece);
        EXPECT_EQ(decoded.status, GzipStatus::Finished) << piece;
        EXPECT_EQ(decoded.output, data) << piece;
    }
    EXPECT_EQ(Decode(Gzip(std::string()), 1000, 0).status, GzipStatus::Finished);
}

// One byte more than listed is refused, and not one byte past the bound is
// handed on.
TEST(GzipDecoderTest, NeverWritesPastTheListedSize) {
    const std::string data = RandomText(100001);
    const Decoded decoded = Decode(Gzip(data), 1 << 20, data.size() - 1);
    EXPECT_EQ(decoded.status, GzipStatus::OutputTooLarge);
    EXPECT_LE(decoded.output.size(), data.size() - 1);
}

// A real bomb: 1 GiB of zeros in about a megabyte. It is stopped at the
// bound, long before the gigabyte.
TEST(GzipDecoderTest, AGzipBombStopsAtTheBound) {
    constexpr uint64_t kGiB = 1ull << 30;
    uint64_t produced = 0;
    const std::string bomb = Gzip([&](std::string& block) {
        block.assign(1 << 20, '\0');
        produced += block.size();
        return produced < kGiB;
    });
    ASSERT_LT(bomb.size(), 2u << 20);
    const uint64_t bound = GzipOutputBound(std::nullopt, bomb.size());
    EXPECT_EQ(bound, bomb.size() * kMaxCompressionRatio);
    uint64_t written = 0;
    CGzipDecoder decoder(bomb.size(), bound, [&](std::string_view block) {
        written += block.size();
        return true;
    });
    EXPECT_EQ(decoder.Feed(bomb), GzipStatus::OutputTooLarge);
    EXPECT_LE(written, bound);
    EXPECT_LT(written, kGiB / 8);
}

TEST(GzipDecoderTest, RefusesMoreInputThanListed) {
    const std::string compressed = Gzip(RandomText(50000));
    EXPECT_EQ(Decode(compressed, compressed.size() - 1, 1 << 20).status, GzipStatus::InputTooLarge);
}

TEST(GzipDecoderTest, DamagedStreamsAreErrors) {
    const std::string data = RandomText(80000);
    const std::string compressed = Gzip(data);
    EXPECT_EQ(Decode(compressed.substr(0, compressed.size() / 2), 1 << 20, 1 << 20).status, GzipStatus::EndedEarly);
    EXPECT_EQ(Decode(compressed.substr(0, compressed.size() - 1), 1 << 20, 1 << 20).status, GzipStatus::EndedEarly);
    std::string flipped = compressed;
    flipped[flipped.size() - 6] ^= 0x01;  // inside the CRC-32 of the trailer
    EXPECT_EQ(Decode(flipped, 1 << 20, 1 << 20).status, GzipStatus::Corrupt);
    EXPECT_EQ(Decode(compressed + "x", 1 << 20, 1 << 20).status, GzipStatus::Corrupt);
    EXPECT_EQ(Decode(data, 1 << 20, 1 << 20).status, GzipStatus::Corrupt);  // not gzip at all
}

TEST(GzipDecoderTest, AnOutputThatRefusesABlockStopsTheDecoding) {
    const std::string compressed = Gzip(RandomText(200000));
    CGzipDecoder decoder(compressed.size(), 1 << 20, [](std::string_view) { return false; });
    EXPECT_EQ(decoder.Feed(compressed), GzipStatus::WriteFailed);
    EXPECT_EQ(decoder.Finish(), GzipStatus::WriteFailed);
}

TEST(GzipDecoderTest, TheBoundWithoutAListedSize) {
    EXPECT_EQ(GzipOutputBound(1234, 10), 1234u);
    EXPECT_EQ(GzipOutputBound(std::nullopt, 1000), 64000u);
    EXPECT_EQ(GzipOutputBound(std::nullopt, 1ull << 40), kMaxUnlistedOutput);
    EXPECT_EQ(GzipOutputBound(std::nullopt, (kMaxUnlistedOutput / 64) + 1), kMaxUnlistedOutput);
}

}  // namespace
