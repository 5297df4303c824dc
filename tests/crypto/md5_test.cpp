#include "crypto/file_digests.h"
#include "crypto/md5_digest.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
struct Md5Case {
    std::string input;
    std::string digest;
};

TEST(Md5Test, Rfc1321Suite) {
    const Md5Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    TempDir dir;
    for (const Md5Case& c : cases) {
        dir.Write("f", c.input);
        std::string digest;
        EXPECT_EQ(CMD5::GetFileMD5(dir.File("f"), digest), 0);
        EXPECT_EQ(digest, c.digest) << '"' << c.input << '"';
    }
}

TEST(Md5Test, FileLargerThanBlock) {
    // 2.5 MiB + 7 bytes of i % 251: more than two 1 MiB blocks and a partial one.
    std::string bytes(5 * (1u << 20) / 2 + 7, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
    TempDir dir;
    dir.Write("\xb4\xf3.bin" /* 大.bin */, bytes);
    std::string digest;
    EXPECT_EQ(CMD5::GetFileMD5(dir.File("\xb4\xf3.bin"), digest), 0);
    EXPECT_EQ(digest, "71c3773c72c9fabedee5c67e9a286efd");  // md5sum of the same bytes
}

TEST(Md5Test, UnreadableGivesEmptyDigest) {
    TempDir dir;
    dir.Write("folder\\f", "x");
    for (const std::string& path : {dir.File("missing"), dir.File("folder"), std::string()}) {
        std::string digest = "stale";
        EXPECT_EQ(CMD5::GetFileMD5(path, digest), -1) << path;
        EXPECT_EQ(digest, "");
    }
}
}  // namespace

namespace {

// Every way of cutting the input into updates gives the same digest as one
// update: the carry of partial blocks across calls, and the padding at the
// 55/56/64-byte edges, are where a hand-written MD5 goes wrong.
TEST(Md5DigestTest, SplitUpdatesAgreeWithOneUpdate) {
    std::string data;
    for (int i = 0; i < 300; ++i) data += static_cast<char>(i * 7 + 3);
    for (size_t length : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 300u}) {
        Md5Digest whole;
        whole.Update(data.data(), length);
        const auto expected = whole.Finish();
        for (size_t piece : {1u, 3u, 63u, 64u, 65u}) {
            Md5Digest split;
            for (size_t at = 0; at < length; at += piece) split.Update(data.data() + at, std::min(piece, length - at));
            EXPECT_EQ(split.Finish(), expected) << "length " << length << " piece " << piece;
        }
    }
}

}  // namespace
