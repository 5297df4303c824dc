#include "crypto/file_digests.h"
#include "crypto/sha256_stream.h"

#include "base/number_text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::string Sha256Hex(const std::string& bytes, size_t piece) {
    Sha256Stream stream;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        stream.Update(reinterpret_cast<const uint8_t*>(bytes.data()) + at, std::min(piece, bytes.size() - at));
    }
    Sha256Digest digest{};
    EXPECT_TRUE(stream.Finish(digest));
    return LowerHex(digest.data(), digest.size());
}

TEST(Sha256StreamTest, PiecesAgreeWithTheKnownDigests) {
    for (size_t piece : {1u, 3u, 64u, 1000u}) {
        EXPECT_EQ(Sha256Hex("abc", piece), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
        EXPECT_EQ(Sha256Hex("", piece), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    }
}

// Both digests from one read of the file: more than two read blocks and a
// partial one, checked against md5sum and sha256sum of the same bytes.
TEST(FileDigestsTest, BothDigestsOfAFileLargerThanTheReadBlock) {
    std::string bytes(5 * (1u << 20) / 2 + 7, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
    TempDir dir;
    dir.Write("\xb4\xf3.bin" /* 大.bin */, bytes);
    FileDigests digests;
    ASSERT_TRUE(DigestFile(dir.File("\xb4\xf3.bin"), true, digests));
    EXPECT_EQ(digests.Md5, "71c3773c72c9fabedee5c67e9a286efd");
    EXPECT_EQ(digests.Sha256, "ffe7fe4b5e2866a0433ec4ae27932c3f50ef8b8ff5b4aa4bc3808aaf8bd2dd70");

    ASSERT_TRUE(DigestFile(dir.File("\xb4\xf3.bin"), false, digests));
    EXPECT_EQ(digests.Md5, "71c3773c72c9fabedee5c67e9a286efd");
    EXPECT_EQ(digests.Sha256, "") << "only when asked for";
}

TEST(FileDigestsTest, NoFileNoDigests) {
    TempDir dir;
    dir.Write("folder\\f", "x");
    for (const std::string& path : {dir.File("missing"), dir.File("folder"), std::string()}) {
        FileDigests digests{"stale", "stale"};
        EXPECT_FALSE(DigestFile(path, true, digests)) << path;
        EXPECT_EQ(digests.Md5, "");
        EXPECT_EQ(digests.Sha256, "");
    }
}

// Digests of what was written agree with a read of the file, but only for
// bytes seen from the first to the last: a piece at another offset than the
// next (a download that continued an earlier one) spoils them until one at
// offset 0 starts afresh.
TEST(FileDigestsTest, WrittenPiecesGiveTheFilesDigestsOnlyWhenSeenWhole) {
    CWrittenDigests written(true);
    written.Add(0, "a");
    written.Add(1, "bc");
    EXPECT_FALSE(written.Of(4));  // not every byte
    written.Add(0, "ab");
    written.Add(2, "c");
    const std::optional<FileDigests> digests = written.Of(3);
    ASSERT_TRUE(digests);
    EXPECT_EQ(digests->Md5, "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(digests->Sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_FALSE(written.Of(3));  // spent
    written.Add(0, "ab");
    written.Add(3, "c");
    EXPECT_FALSE(written.Of(3));
}

}  // namespace
