#include "crypto/crypto_primitives.h"
#include "crypto/md5_digest.h"
#include "delta/patch_file.h"
#include "delta/patch_format.h"
#include "delta/patch_maker.h"
#include "delta/patch_writer.h"
#include "delta/suffix_array.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

namespace {

std::string RandomBytes(size_t size, unsigned seed, int alphabet = 256) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator() % alphabet);
    return bytes;
}

// What a rebuild does to a program: a few bytes changed throughout, a
// block inserted and another one dropped.
std::string Rebuilt(std::string bytes) {
    for (size_t i = 97; i < bytes.size(); i += 4099) bytes[i] = static_cast<char>(bytes[i] + 16);
    bytes.insert(bytes.size() / 3, RandomBytes(5000, 99));
    bytes.erase(bytes.size() * 2 / 3, 3000);
    return bytes;
}

ExpectedResult Expect(const std::string& result) {
    return {result.size(), Md5Hex(result), {}};
}

PatchResult Apply(const std::string& patch, const std::string& base, const ExpectedResult& expected,
                  std::string* made = nullptr) {
    CMemorySource patchSource(patch);
    CMemorySource baseSource(base);
    CMemorySink sink;
    const PatchResult result = ApplyPatch(patchSource, baseSource, sink, expected);
    if (made) *made = sink.Bytes();
    return result;
}

std::string Make(const std::string& base, const std::string& result) {
    MadePatch patch = MakePatch(base, result);
    EXPECT_EQ(patch.Status, PatchMaking::Made);
    return patch.Bytes;
}

TEST(PatchTest, RoundTripsAndANearlyIdenticalFileMakesATinyPatch) {
    const std::string program = RandomBytes(300000, 1, 64);
    const std::pair<std::string, std::string> pairs[] = {
        {"", ""}, {"", program}, {program, ""}, {program, program}, {program, Rebuilt(program)},
        {program, RandomBytes(200000, 2)}, {"a", "ab"}};
    for (const auto& [base, result] : pairs) {
        std::string made;
        EXPECT_TRUE(Apply(Make(base, result), base, Expect(result), &made).Applied()) << base.size() << " " << result.size();
        EXPECT_EQ(made, result);
    }
    // Unchanged runs are instructions, not differences of zero: three bytes
    // changed in a megabyte cost a few hundred bytes, not kilobytes.
    const std::string large = RandomBytes(1 << 20, 3);
    std::string changed = large;
    for (const size_t at : {size_t{10}, large.size() / 2, large.size() - 10}) changed[at] = static_cast<char>(~changed[at]);
    const std::string patch = Make(large, changed);
    EXPECT_LT(patch.size(), 500u);
    EXPECT_TRUE(Apply(patch, large, Expect(changed)).Applied());
}

TEST(PatchTest, SuffixesSortAsTheNaiveSortDoes) {
    for (const int alphabet : {1, 2, 4, 256}) {
        for (const size_t size : {size_t{0}, size_t{1}, size_t{2}, size_t{17}, size_t{1000}}) {
            const std::string text = RandomBytes(size, static_cast<unsigned>(size + alphabet), alphabet);
            std::vector<int32_t> expected(size);
            for (size_t i = 0; i < size; ++i) expected[i] = static_cast<int32_t>(i);
            const std::string_view view(text);
            std::sort(expected.begin(), expected.end(), [&](int32_t a, int32_t b) { return view.substr(a) < view.substr(b); });
            EXPECT_EQ(SortSuffixes(text), expected) << alphabet << " " << size;
        }
    }
}

TEST(PatchTest, APatchAppliedToAnotherBaseIsRefusedBeforeAnyByteIsWritten) {
    const std::string base = RandomBytes(100000, 4);
    const std::string result = Rebuilt(base);
    const std::string patch = Make(base, result);
    std::string other = base;
    other[50000] ^= 1;
    std::string made = "untouched";
    EXPECT_EQ(Apply(patch, other, Expect(result), &made).Status, PatchStatus::BaseMismatch);
    EXPECT_EQ(made, "");
    EXPECT_EQ(Apply(patch, base.substr(1), Expect(result)).Status, PatchStatus::BaseMismatch);
}

TEST(PatchTest, AResultThatWouldPassItsSizeStopsAtTheBound) {
    const std::string base = RandomBytes(100000, 5);
    const std::string result = Rebuilt(base);
    ExpectedResult smaller = Expect(result);
    --smaller.Size;
    std::string made;
    EXPECT_EQ(Apply(Make(base, result), base, smaller, &made).Status, PatchStatus::ExceedsSize);
    EXPECT_EQ(made, "");

    // A header that claims a smaller result than its instructions make.
    CPatchWriter writer;
    writer.Copy(base.size());
    writer.Insert(reinterpret_cast<const uint8_t*>(base.data()), 60000);
    PatchHeader header;
    header.BaseSize = base.size();
    ASSERT_TRUE(ComputeSha256(base, header.BaseSha256));
    header.ResultSize = base.size() + 50000;
    EXPECT_EQ(Apply(writer.Finish(header), base, {header.ResultSize, {}, {}}, &made).Status, PatchStatus::ExceedsSize);
    EXPECT_LE(made.size(), header.ResultSize);
}

// A byte, then back two, and again: each byte of the result would make the
// applier read a whole block of the base. A patch that reads its base far
// more than any made one does is refused as damaged, not followed for hours.
TEST(PatchTest, APatchThatThrashesItsBaseIsStopped) {
    const std::string base = RandomBytes(1 << 20, 8);
    const size_t start = 512 * 1024, count = 200000;
    CPatchWriter writer;
    writer.Seek(start);
    std::string result;
    for (size_t i = 0; i < count; ++i) {
        writer.Copy(1);
        writer.Seek(-2);
        result += base[start - i];
    }
    PatchHeader header;
    header.BaseSize = base.size();
    header.ResultSize = result.size();
    ASSERT_TRUE(ComputeSha256(base, header.BaseSha256));
    ASSERT_TRUE(ComputeSha256(result, header.ResultSha256));
    EXPECT_EQ(Apply(writer.Finish(header), base, Expect(result)).Status, PatchStatus::Damaged);
}

TEST(PatchTest, DamageIsFoundWhereverItIs) {
    const std::string base = RandomBytes(200000, 6, 16);
    const std::string result = Rebuilt(base);
    const std::string patch = Make(base, result);
    const ExpectedResult expected = Expect(result);
    EXPECT_EQ(Apply(patch.substr(0, patch.size() - 1), base, expected).Status, PatchStatus::Truncated);
    EXPECT_EQ(Apply(patch.substr(0, 100), base, expected).Status, PatchStatus::Truncated);
    EXPECT_EQ(Apply(patch + '\0', base, expected).Status, PatchStatus::Damaged);
    // The magic, the stream lengths, and each stream's first and last byte.
    PatchHeader header;
    ASSERT_EQ(DecodePatchHeader(reinterpret_cast<const uint8_t*>(patch.data()), kPatchHeaderSize, patch.size(), header),
              HeaderCheck::Valid);
    std::vector<size_t> places = {0, kPatchHeaderSize - 1};
    for (const PatchStream stream : {PatchStream::Instructions, PatchStream::Differences, PatchStream::NewBytes}) {
        places.push_back(header.StreamOffset(stream) + 3);
        places.push_back(header.StreamOffset(stream) + header.Stream(stream).Compressed - 1);
    }
    for (const size_t at : places) {
        std::string damaged = patch;
        damaged[at] ^= 0x40;
        std::string made;
        EXPECT_EQ(Apply(damaged, base, expected, &made).Status, PatchStatus::Damaged) << at;
        EXPECT_LE(made.size(), result.size());
    }
    // A patch made for another release of the file.
    ExpectedResult otherMd5 = expected;
    otherMd5.Md5[0] = otherMd5.Md5[0] == '0' ? '1' : '0';
    EXPECT_EQ(Apply(patch, base, otherMd5).Status, PatchStatus::ResultMismatch);
    EXPECT_EQ(Apply(patch, base, {expected.Size, {}, std::string(64, 'a')}).Status, PatchStatus::ResultMismatch);
}

// Near-repeats on which a plain bsdiff scan takes quadratic time: a block
// and, earlier in the base, the same block with eight bytes changed.
TEST(PatchTest, MakingGivesUpOnInputsThatWouldTakeTooLongOrAreTooLarge) {
    const std::string block = RandomBytes(256 << 10, 7);
    std::string nearBlock = block;
    for (size_t i = 0; i < 8; ++i) nearBlock[i * block.size() / 8] ^= 1;
    const std::string prefix = RandomBytes(1024, 8);
    EXPECT_EQ(MakePatch(prefix + nearBlock + block, prefix + block).Status, PatchMaking::TooMuchWork);
    EXPECT_EQ(MakePatch(block, block, {1000, 64}).Status, PatchMaking::TooLarge);
}

TEST(PatchFileTest, TheResultAppearsOnlyWhenWholeAndRight) {
    TempDir dir;
    const std::string base = RandomBytes(100000, 9);
    const std::string result = Rebuilt(base);
    dir.Write("app.dll", base);
    dir.Write("app.dll.patch", Make(base, result));
    EXPECT_TRUE(ApplyPatchFile(dir.File("app.dll.patch"), dir.File("app.dll"), dir.File("staged"), Expect(result)).Applied());
    EXPECT_EQ(dir.Read("staged"), result);

    dir.Write("app.dll", result);
    EXPECT_EQ(ApplyPatchFile(dir.File("app.dll.patch"), dir.File("app.dll"), dir.File("again"), Expect(result)).Status,
              PatchStatus::BaseMismatch);
    const PatchResult missing = ApplyPatchFile(dir.File("none.patch"), dir.File("app.dll"), dir.File("again"), Expect(result));
    EXPECT_EQ(missing.Status, PatchStatus::PatchUnreadable);
    EXPECT_NE(missing.Cause.Error, 0u);
    EXPECT_EQ(ApplyPatchFile(dir.File("app.dll.patch"), dir.File("none"), dir.File("again"), Expect(result)).Status,
              PatchStatus::BaseUnreadable);
    // Nothing left behind by the failures: no result, no temporary file.
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(TempDir::ToFsPath(dir.Path()))) ++files;
    EXPECT_EQ(files, 3u);
}

}  // namespace
