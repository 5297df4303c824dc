#include "transfer/gzip_decoder.h"

#include "manifest/release_vocabulary.h"

#include "support/gzip_maker.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct Decoded {
    GzipStatus status;
    std::string output;
};

// Feeds the stream in pieces of `piece` bytes, as a transfer hands them over.
Decoded Decode(const std::string& compressed, uint64_t maxInput, uint64_t maxOutput, size_t piece = 1000) {
    Decoded decoded{GzipStatus::NeedsMore, {}};
    CGzipDecoder decoder({maxInput, maxOutput, kGzipForm.ZlibWindowBits}, [&](std::string_view block) {
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
    const std::string bomb = GzipOfZeros(kGiB);
    ASSERT_LT(bomb.size(), 2u << 20);
    const uint64_t bound = GzipOutputBound(std::nullopt, bomb.size());
    EXPECT_EQ(bound, bomb.size() * kMaxCompressionRatio);
    uint64_t written = 0;
    CGzipDecoder decoder({bomb.size(), bound, kGzipForm.ZlibWindowBits}, [&](std::string_view block) {
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
    CGzipDecoder decoder({compressed.size(), 1 << 20, kGzipForm.ZlibWindowBits}, [](std::string_view) { return false; });
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
