#include "crypto/crypto_primitives.h"
#include "crypto/md5_digest.h"
#include "delta/base_page_cache.h"
#include "delta/patch_file.h"
#include "delta/patch_format.h"
#include "delta/patch_maker.h"
#include "delta/patch_writer.h"
#include "delta/suffix_array.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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
    EXPECT_EQ(patch.Status, PatchMaking::Made) << PatchMakingReason(patch);
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

constexpr uint32_t kImageBase = 0x10000000;

// Stretches of code (a small alphabet), address tables, zero padding,
// random data, and long repeats of what came before.
std::string ProgramLike(size_t size, std::mt19937& random) {
    std::string bytes;
    while (bytes.size() < size) {
        const size_t length = 256 + random() % 16384;
        switch (random() % 5) {
        case 0: bytes.append(length, '\0'); break;
        case 1:
            for (size_t i = 0; i < length; i += 4) {
                const uint32_t address = kImageBase + random() % size;
                bytes.append(reinterpret_cast<const char*>(&address), 4);
            }
            break;
        case 2: for (size_t i = 0; i < length; ++i) bytes += static_cast<char>(random() % 40); break;
        case 3: for (size_t i = 0; i < length; ++i) bytes += static_cast<char>(random()); break;
        default: if (bytes.size() > length) bytes.append(bytes, random() % (bytes.size() - length), length);
        }
    }
    bytes.resize(size);
    return bytes;
}

// The next build: blocks kept, dropped, repeated, zeroed or new, a share of
// them moved elsewhere, and every address bumped by one constant.
std::string Relinked(const std::string& base, size_t blockBytes, unsigned movedPercent, std::mt19937& random) {
    std::vector<std::string> blocks;
    for (size_t at = 0; at < base.size();) {
        std::string block = base.substr(at, blockBytes / 2 + random() % blockBytes);
        at += block.size();
        switch (random() % 16) {
        case 0: continue;
        case 1: blocks.push_back(block); break;
        case 2: block.assign(block.size(), '\0'); break;
        case 3: block = ProgramLike(block.size(), random); break;
        }
        blocks.push_back(std::move(block));
    }
    for (size_t i = 0; i + 1 < blocks.size(); ++i) {
        if (random() % 100 < movedPercent) std::swap(blocks[i], blocks[i + 1 + random() % (blocks.size() - i - 1)]);
    }
    std::string result;
    for (const std::string& block : blocks) result += block;
    const uint32_t shift = 0x1000 * (1 + random() % 64);
    for (size_t at = 0; at + 4 <= result.size(); at += 4) {
        uint32_t value = 0;
        std::memcpy(&value, &result[at], 4);
        if (value >= kImageBase && value < kImageBase + base.size()) value += shift;
        std::memcpy(&result[at], &value, 4);
    }
    return result;
}

// Program-like pairs whose blocks are moved about, as a linker moves
// functions between builds, so that the patch seeks all over its base
// hundreds of times.
TEST(PatchTest, ProgramLikePairsApplyByteForByte) {
    struct Pair {
        unsigned seed;
        size_t size, blockBytes;
        unsigned movedPercent;
    };
    const Pair pairs[] = {{1, 1200 << 10, 1024, 100}, {2, 512 << 10, 16384, 30}, {3, 400 << 10, 4096, 0},
                          {4, 400 << 10, 2048, 60},   {5, 300 << 10, 512, 100},   {6, 256 << 10, 65536, 10},
                          {7, 200 << 10, 8192, 50},   {8, 100 << 10, 1024, 100}};
    for (const Pair& pair : pairs) {
        std::mt19937 random(pair.seed);
        const std::string base = ProgramLike(pair.size, random);
        const std::string result = Relinked(base, pair.blockBytes, pair.movedPercent, random);
        std::string made;
        const PatchResult applied = Apply(Make(base, result), base, Expect(result), &made);
        EXPECT_TRUE(applied.Applied()) << "seed " << pair.seed << ": " << DescribePatchResult(applied);
        EXPECT_TRUE(made == result) << "seed " << pair.seed;
    }
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

PatchHeader HeaderOf(const std::string& base, const std::string& result) {
    PatchHeader header;
    header.BaseSize = base.size();
    header.ResultSize = result.size();
    EXPECT_TRUE(ComputeSha256(base, header.BaseSha256));
    EXPECT_TRUE(ComputeSha256(result, header.ResultSha256));
    return header;
}

// Twice as many pages as the applier holds: pieces from anywhere in it, in
// any order, from a byte to many pages long, copied or added to, come out
// as they are, whichever of their pages are held and whichever not.
TEST(PatchTest, PiecesFromAllOverABaseLargerThanThePagesComeOutRight) {
    const std::string base = RandomBytes(2 * kBasePageCount * kBasePageSize + 123, 10);
    std::mt19937 random(11);
    CPatchWriter writer;
    std::string result;
    const std::vector<uint8_t> ones(300 << 10, 1);
    uint64_t position = 0;
    for (int piece = 0; piece < 400; ++piece) {
        const size_t length = 1 + random() % (piece % 4 == 0 ? ones.size() : kBasePageSize * 3);
        const uint64_t from = random() % (base.size() - length);
        writer.Seek(static_cast<int64_t>(from - position));
        position = from + length;
        const bool add = piece % 2 == 1;
        add ? writer.Add(ones.data(), length) : writer.Copy(length);
        for (size_t i = 0; i < length; ++i) result += static_cast<char>(base[from + i] + add);
    }
    std::string made;
    EXPECT_TRUE(Apply(writer.Finish(HeaderOf(base, result)), base, {result.size(), {}, {}}, &made).Applied());
    EXPECT_TRUE(made == result);
}

// Bytes taken round and round from every page of a base a little larger
// than the applier's pages: each would cost a fresh page read. A patch that
// reads its base far more than any made one does is refused, not followed
// for hours, and the maker does not hand out one that would be.
TEST(PatchTest, APatchThatThrashesItsBaseIsStopped) {
    const size_t pages = kBasePageCount + 16;
    const std::string base = RandomBytes(pages * kBasePageSize, 8);
    CPatchWriter writer;
    std::string bytes, pieces;
    uint64_t position = 0;
    for (size_t i = 0; i < 100000; ++i) {
        const uint64_t from = i % pages * kBasePageSize + i / pages * 16 % kBasePageSize;
        writer.Seek(static_cast<int64_t>(from - position));
        writer.Copy(1);
        position = from + 1;
        bytes += base[from];
        if (i < 32768) pieces.append(base, from, 16);
    }
    EXPECT_EQ(Apply(writer.Finish(HeaderOf(base, bytes)), base, Expect(bytes)).Status, PatchStatus::ExceedsBaseReads);
    const MadePatch made = MakePatch(base, pieces);
    EXPECT_EQ(made.Status, PatchMaking::NotApplicable);
    EXPECT_EQ(made.Bytes, "");
    EXPECT_EQ(PatchMakingReason(made), "the patch made does not apply: exceeds-base-reads");
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
