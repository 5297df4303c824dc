#include "transfer/multipart_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {
// The files a stream of answers made, by item, and those it abandoned.
struct Files final : CMemberStream::Receiver {
    std::map<size_t, std::string> ended;
    std::map<size_t, std::string> open;
    size_t abandoned = 0;
    bool Begin(const PackMember& member) override { return open.emplace(member.Item, "").second; }
    bool Write(const PackMember& member, std::string_view bytes) override {
        open[member.Item].append(bytes);
        return true;
    }
    bool End(const PackMember& member) override {
        ended[member.Item] = open[member.Item];
        return open.erase(member.Item) == 1;
    }
    void Abandon(const PackMember& member) override { abandoned += open.erase(member.Item); }
};

std::string Part(uint64_t first, uint64_t last, const std::string& body, const std::string& eol = "\r\n") {
    return "--B" + eol + "Content-Type: application/octet-stream" + eol + "Content-Range: bytes " +
           std::to_string(first) + "-" + std::to_string(last) + "/1000" + eol + eol + body + eol;
}

// Reads `body` in pieces of `piece` bytes as the answer to ranges 10-19 and
// 40-49 (members 10-14, 15-19 and 40-49); the files are in `files`.
MultipartStatus Read(const std::string& body, Files& files, size_t piece = 3) {
    const std::vector<ByteRange> asked = {{10, 19}, {40, 49}};
    CMemberStream stream({{10, 5, 0}, {15, 5, 1}, {40, 10, 2}}, files);
    CMultipartReader reader("B", asked, [&](uint64_t at, std::string_view bytes) { return stream.Feed(at, bytes); });
    MultipartStatus status = MultipartStatus::NeedsMore;
    for (size_t at = 0; at < body.size() && status == MultipartStatus::NeedsMore; at += piece) {
        status = reader.Feed(std::string_view(body).substr(at, piece));
    }
    stream.Close();
    return reader.Finish();
}

TEST(MultipartReaderTest, EachMemberGetsItsOwnBytesWhateverTheLineEndsAndPieces) {
    for (const std::string eol : {"\r\n", "\n"}) {
        for (const size_t piece : {1, 7, 4096}) {
            Files files;
            const std::string body =
                eol + Part(10, 19, "aaaaabbbbb", eol) + Part(40, 49, "cccccccccc", eol) + "--B--" + eol + "epilogue";
            EXPECT_EQ(Read(body, files, piece), MultipartStatus::Finished);
            EXPECT_EQ(files.ended, (std::map<size_t, std::string>{{0, "aaaaa"}, {1, "bbbbb"}, {2, "cccccccccc"}}));
        }
    }
}

TEST(MultipartReaderTest, AnAnswerThatLiesKeepsOnlyTheMembersThatArrivedWholeBeforeTheLie) {
    struct Case { std::string body; MultipartStatus status; size_t ended; };
    const Case cases[] = {
        {Part(10, 19, "aaaaabbbbb") + Part(40, 49, "ccccccccccEXTRA") + "--B--\r\n", MultipartStatus::Malformed, 3},
        {Part(10, 19, "aaaaabbbbb") + Part(39, 49, "xcccccccccc") + "--B--\r\n", MultipartStatus::Malformed, 2},
        {Part(10, 19, "aaaaabbbbb") + Part(15, 19, "bbbbb") + "--B--\r\n", MultipartStatus::Malformed, 2},
        {Part(40, 49, "cccccccccc") + Part(10, 19, "aaaaabbbbb") + "--B--\r\n", MultipartStatus::Malformed, 1},
        {Part(10, 19, "aaaaabbbbb") + Part(40, 49, "ccccc"), MultipartStatus::Malformed, 2},
        {"Content-Range: bytes 10-19/1000\r\n\r\naaaaabbbbb", MultipartStatus::Malformed, 0},
        {Part(10, 14, "aaaaa") + "--B--\r\n", MultipartStatus::Finished, 1},
    };
    for (const Case& c : cases) {
        Files files;
        EXPECT_EQ(Read(c.body, files), c.status) << c.body;
        EXPECT_EQ(files.ended.size(), c.ended) << c.body;
        for (const auto& [item, bytes] : files.ended) EXPECT_EQ(bytes, std::string(item == 2 ? 10 : 5, "abc"[item]));
        EXPECT_TRUE(files.open.empty()) << c.body;
    }
}

TEST(MultipartReaderTest, NeighboursMergedIntoOnePartAreTakenAndTheBoundaryComesFromTheContentType) {
    Files files;
    CMemberStream stream({{0, 4, 0}, {4, 4, 1}}, files);
    CMultipartReader reader("x y", {{0, 3}, {4, 7}}, [&](uint64_t at, std::string_view b) { return stream.Feed(at, b); });
    EXPECT_EQ(reader.Feed("--x y\r\nContent-Range: bytes 0-7/8\r\n\r\n01234567\r\n--x y--\r\n"), MultipartStatus::Finished);
    EXPECT_EQ(files.ended, (std::map<size_t, std::string>{{0, "0123"}, {1, "4567"}}));

    EXPECT_EQ(ByteRangesBoundary("multipart/byteranges; boundary=00000000001"), "00000000001");
    EXPECT_EQ(ByteRangesBoundary("Multipart/ByteRanges;charset=x; BOUNDARY=\"x y\""), "x y");
    EXPECT_EQ(ByteRangesBoundary("multipart/mixed; boundary=a"), std::nullopt);
    EXPECT_EQ(ByteRangesBoundary("multipart/byteranges; boundary=" + std::string(71, 'a')), std::nullopt);
}
}  // namespace
