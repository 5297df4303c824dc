#include "manifest/manifest.h"

#include "base/file_io.h"
#include "manifest/remembered_digests_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

constexpr char kHelloMd5[] = "5d41402abc4b2a76b9719d911017c592";  // "hello"
constexpr char kWorldMd5[] = "7d793037a0760186574b0282f2f435e7";  // "world"
constexpr char kHelloThereMd5[] = "06612c0d9c73d47a7042afd7024d7c82";  // "hellO"
constexpr char kHelloSha256[] = "2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824";

std::vector<std::string> Names(const std::vector<S_UpdateFileInfo>& files) {
    std::vector<std::string> names;
    for (const auto& f : files) names.push_back(f.FileName);
    return names;
}

Release ReadManifest(const TempDir& dir, const std::string& name, ManifestLayout layout) {
    std::string bytes;
    EXPECT_EQ(ReadWholeFile(dir.File(name), kMaxManifestBytes, bytes), FileReadStatus::Ok) << name;
    Release release;
    EXPECT_TRUE(ReadRelease(bytes, layout, layout == ManifestLayout::Program ? 1 : 2, release)) << bytes;
    return release;
}

S_UpdateFileInfo Listed(const std::string& name, std::optional<uint64_t> size, std::string_view md5) {
    S_UpdateFileInfo file;
    file.FileName = name;
    file.Size = size;
    file.MD5 = ListedMd5::Read(md5);
    return file;
}

std::optional<Md5Bytes> Md5Of(std::string_view hex) { return ListedMd5::Read(hex)->Bytes; }

class ManifestTest : public ::testing::Test {
protected:
    // A program manifest with the given header lines and the files a.txt
    // ("hello") and sub\b.txt ("world").
    void WriteProgramManifest(const std::string& header) {
        dir.Write("UpdateConfig.ini", "[Version]\r\n" + header +
                                          "[FILES]\r\na.txt\r\nsub\\b.txt\r\n"
                                          "[a.txt]\r\nSIZE=5\r\nMODIFYTIME=2026-12-01 10:00:00\r\nMD5=" +
                                          kHelloMd5 + "\r\n[sub\\b.txt]\r\nSIZE=5\r\nMD5=" + kWorldMd5 + "\r\n");
    }
    std::vector<std::string> Compare(const std::string& version, const std::string& region,
                                     RememberedDigests* memory = nullptr) {
        std::vector<S_UpdateFileInfo> files;
        CompareManifest(ReadManifest(dir, "UpdateConfig.ini", ManifestLayout::Program),
                        S_UpdateCheckInfo(dir.File("app"), version, region), files, memory);
        return Names(files);
    }
    void InstallCurrentA() { dir.Write("app\\a.txt", "hello"); }

    TempDir dir;
};

using List = std::vector<std::string>;

TEST_F(ManifestTest, VersionAndRegionDecideWhetherFilesAreCompared) {
    InstallCurrentA();
    struct Case { std::string header, version, region; List expected; };
    const Case cases[] = {
        {"VERSION=1.0.10\r\nREGION=cn\r\n", "1.0.9", "cn", {}},                  // byte-wise: not greater
        {"VERSION=1.0.9\r\nREGION=cn\r\n", "1.0.10", "cn", {"sub\\b.txt"}},      // '9' > '1'
        {"VERSION=1.0\r\nREGION=cn\r\n", "1.0", "cn", {}},                       // equal
        {"VERSION=1.0\r\nREGION=tw\r\n", "1.0", "cn", {"sub\\b.txt"}},           // region differs
        {"VERSION=1.0\r\nREGION=cn\r\n", "1.0", "tw", {"sub\\b.txt"}},           // either way
        {"VERSION=1.0\r\nREGION=cn\r\n", "1.0", "CN", {"sub\\b.txt"}},           // case counts
        {"VERSION=1.0\r\n", "", "", {"sub\\b.txt"}},                              // empty installed version
        {"VERSION=1.0\r\n", "2.0", "", {}},                                       // absent REGION equals empty
        {"VERSION=1.0\r\nUNCONDITIONALUPDATE=1\r\n", "1.0", "", {"sub\\b.txt"}},  // forced
        {"VERSION=0.9\r\nUNCONDITIONALUPDATE=1\r\n", "1.0", "", {"sub\\b.txt"}},  // forced, even older
    };
    for (const Case& c : cases) {
        WriteProgramManifest(c.header);
        EXPECT_EQ(Compare(c.version, c.region), c.expected) << c.header << " installed " << c.version;
    }
}

TEST_F(ManifestTest, PerFileRuleListsMissingAndDifferingCopies) {
    WriteProgramManifest("UNCONDITIONALUPDATE=1\r\n");
    EXPECT_EQ(Compare("", ""), (List{"a.txt", "sub\\b.txt"}));  // nothing installed
    InstallCurrentA();
    dir.Write("app\\sub\\b.txt", "world");
    EXPECT_EQ(Compare("", ""), List{});  // every digest matches
    dir.Write("app\\a.txt", "hellO");
    EXPECT_EQ(Compare("", ""), List{"a.txt"});

    std::vector<S_UpdateFileInfo> files;
    const Release release = ReadManifest(dir, "UpdateConfig.ini", ManifestLayout::Program);
    CompareManifest(release, S_UpdateCheckInfo(dir.File("app"), "", ""), files);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].Size, 5u);
    EXPECT_EQ(files[0].ModifyTime, "2026-12-01 10:00:00");
    EXPECT_EQ(files[0].MD5->Hex(), kHelloMd5);
    EXPECT_EQ(files[0].InstalledMD5, Md5Of(kHelloThereMd5));
    dir.Write("app\\a.txt", "hello");
    RemoveFile(dir.File("app\\sub\\b.txt"));
    files.clear();
    CompareManifest(release, S_UpdateCheckInfo(dir.File("app"), "", ""), files);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].InstalledMD5, std::nullopt);  // nothing installed to read
}

TEST_F(ManifestTest, DigestsCompareCaseSensitively) {
    InstallCurrentA();
    dir.Write("UpdateConfig.ini", "[Version]\r\nUNCONDITIONALUPDATE=1\r\n[FILES]\r\na.txt\r\n[a.txt]\r\nMD5=5D41402ABC4B2A76B9719D911017C592\r\n");
    EXPECT_EQ(Compare("", ""), List{"a.txt"});
    // No MD5 at all: an installed copy always differs.
    dir.Write("UpdateConfig.ini", "[Version]\r\nUNCONDITIONALUPDATE=1\r\n[FILES]\r\na.txt\r\n");
    EXPECT_EQ(Compare("", ""), List{"a.txt"});
}

TEST_F(ManifestTest, NothingListedWithoutFiles) {
    dir.Write("UpdateConfig.ini", "[Version]\r\nUNCONDITIONALUPDATE=1\r\n");
    EXPECT_EQ(Compare("", ""), List{});
}

TEST_F(ManifestTest, UnsafeNamesAreNeverListed) {
    dir.Write("UpdateConfig.ini",
              "[Version]\r\nUNCONDITIONALUPDATE=1\r\n[FILES]\r\n..\\..\\x\r\nC:\\x\r\n\\\\host\\share\\x\r\n"
              "a\\.\\b\r\ncon\r\nx:y\r\nok.txt\r\n");
    EXPECT_EQ(Compare("", ""), List{"ok.txt"});
}

TEST_F(ManifestTest, LocalFolderGetsItsSeparator) {
    EXPECT_EQ(S_UpdateCheckInfo("C:\\App", "", "").LocalFolder, "C:\\App\\");
    EXPECT_EQ(S_UpdateCheckInfo("C:\\App\\", "", "").LocalFolder, "C:\\App\\");
}

TEST_F(ManifestTest, PackageManifestTakesEverySectionInOrder) {
    dir.Write("pkg\\a.txt", "hello");
    dir.Write("config.ini", std::string("[c.dat]\r\nMD5=x\r\n[a.txt]\r\nMD5=") + kHelloMd5 +
                                "\r\n[Version]\r\nSIZE=1\r\n[d\\e.dat]\r\nSIZE=3\r\n");
    std::vector<S_UpdateFileInfo> files;
    BuildPackageFileList(ReadManifest(dir, "config.ini", ManifestLayout::DataPackage), dir.File("pkg\\"), files);
    EXPECT_EQ(Names(files), (List{"c.dat", "Version", "d\\e.dat"}));
    EXPECT_EQ(files[2].Size, 3u);
    EXPECT_FALSE(files[0].MD5->IsDigest);  // "x": no file can match it
}

TEST_F(ManifestTest, StagedCopiesWithTheDigestAreNotFetchedAgain) {
    dir.Write("stage\\a.txt", "hello");
    dir.Write("stage\\b.txt", "stale");
    const std::vector<S_UpdateFileInfo> changed = {Listed("a.txt", 5, kHelloMd5), Listed("b.txt", 5, kWorldMd5),
                                                   Listed("c.txt", 5, kWorldMd5)};
    EXPECT_EQ(Names(SelectFilesToFetch(changed, dir.File("stage\\"))), (List{"b.txt", "c.txt"}));
}

TEST_F(ManifestTest, FetchedFileMustMatchSizeAndDigest) {
    dir.Write("f.txt", "hello");
    struct Case { std::string size, md5; bool valid; };
    const Case cases[] = {
        {"5", kHelloMd5, true},
        {"", "", true},                                     // nothing to check against
        {"5", "5D41402ABC4B2A76B9719D911017C592", true},    // hex case does not matter here
        {"6", kHelloMd5, false},                            // truncated or padded
        {"5", kWorldMd5, false},                            // damaged
        {"5", "5d41402abc4b2a76b9719d911017c59", false},    // no digest: nothing matches it
        {"abc", kHelloMd5, true},                           // a SIZE that is no number is not checked
    };
    for (const Case& c : cases) {
        dir.Write("pkg.ini", "[f.txt]\r\nSIZE=" + c.size + "\r\nMD5=" + c.md5 + "\r\n");
        const Release release = ReadManifest(dir, "pkg.ini", ManifestLayout::DataPackage);
        const bool valid = !FindInvalidStagedFile(release.Files, dir.Path());
        EXPECT_EQ(valid, c.valid) << c.size << " " << c.md5;
    }
    EXPECT_TRUE(FindInvalidStagedFile({Listed("gone.txt", std::nullopt, "")}, dir.Path()));
}

TEST_F(ManifestTest, TheFirstInvalidStagedFileInListOrder) {
    dir.Write("stage\\a.txt", "hello");
    dir.Write("stage\\b.txt", "world");
    const S_UpdateFileInfo a = Listed("a.txt", 5, kHelloMd5);
    const S_UpdateFileInfo b = Listed("b.txt", 5, kWorldMd5);
    const S_UpdateFileInfo damaged = Listed("b.txt", 5, kHelloMd5);
    const S_UpdateFileInfo missing = Listed("c.txt", std::nullopt, "");
    const std::string stage = dir.File("stage\\");
    EXPECT_EQ(FindInvalidStagedFile({a, b}, stage), std::nullopt);
    EXPECT_EQ(FindInvalidStagedFile({}, stage), std::nullopt);
    EXPECT_EQ(FindInvalidStagedFile({a, damaged, missing}, stage), std::optional<size_t>(1));
    EXPECT_EQ(FindInvalidStagedFile({a, b, missing}, stage), std::optional<size_t>(2));
}

// A signed release lists a SHA-256 as well: a file must match both digests,
// so a second file made to share an MD5 with the right one is not taken.
TEST_F(ManifestTest, AListedSha256MustMatchToo) {
    dir.Write("pkg.ini", std::string("[a.txt]\r\nSIZE=5\r\nMD5=") + kHelloMd5 + "\r\nSHA256=" + kHelloSha256 + "\r\n");
    std::vector<S_UpdateFileInfo> listed;
    BuildPackageFileList(ReadManifest(dir, "pkg.ini", ManifestLayout::DataPackage), dir.File("pkg\\"), listed);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].SHA256->Hex(), kHelloSha256);

    dir.Write("stage\\a.txt", "hello");
    std::string otherSha256 = kHelloSha256;
    otherSha256[10] = '0';
    struct Case { std::string sha256; bool valid; };
    const Case cases[] = {
        {kHelloSha256, true},
        {"2CF24DBA5FB0A30E26E83B2AC5B9E29E1B161E5C1FA7425E73043362938B9824", true},  // hex case
        {"", true},                                                                // an unsigned release
        {otherSha256, false},
        {std::string(kHelloSha256).substr(0, 63), false},
    };
    for (const Case& c : cases) {
        S_UpdateFileInfo file = Listed("a.txt", 5, kHelloMd5);
        file.SHA256 = ListedSha256::Read(c.sha256);
        EXPECT_EQ(!FindInvalidStagedFile({file}, dir.File("stage\\")), c.valid) << c.sha256;
        // A staged copy that is not the listed one is fetched again.
        EXPECT_EQ(SelectFilesToFetch({file}, dir.File("stage\\")).empty(), c.valid) << c.sha256;
    }
}

// A marked manifest cut anywhere is no manifest: right after its first
// line, inside a section, at a section's end; one without the mark is
// taken as it is, checks or not.
TEST(ManifestCheckTest, AMarkedPackageManifestMustBeWhole) {
    const std::string a = std::string("[a.txt]\r\nSIZE=5\r\nMD5=") + kHelloMd5 + "\r\nFILECOUNT=2\r\n";
    const std::string b = std::string("[b.txt]\r\nSIZE=5\r\nMD5=") + kWorldMd5 + "\r\nFILECOUNT=2\r\n";
    const std::string whole = "; FILECOUNT=2\r\n" + a + b;
    const struct {
        std::string text;
        bool accepted;
    } cases[] = {
        {whole, true},
        {whole.substr(0, whole.find("[b.txt]")), false},   // cut after a whole section
        {whole.substr(0, whole.rfind("MD5")), false},      // cut inside the last one
        {whole.substr(0, whole.rfind("=2")), false},       // cut before the last count
        {whole.substr(0, whole.find("SIZE")), false},      // cut inside the first section
        {whole.substr(0, 8), false},                        // inside the first line
        {"[b.txt]\r\nSIZE=5\r\n[c.txt]\r\n", true},         // by hand
        {std::string("[\0a\0]\0", 6), false},                  // UTF-16
    };
    for (const auto& c : cases) {
        Release release;
        EXPECT_EQ(static_cast<bool>(ReadRelease(c.text, ManifestLayout::DataPackage, 2, release)), c.accepted) << c.text;
    }
}

// Remembered digests. A memory whose clock runs ten seconds ahead sees the
// files just written as settled, as an installation is between runs.
int64_t TenSecondsAhead() { return CurrentFileTime() + 10 * kFileTimeTicksPerSecond; }
int64_t ThirtyOneDaysAhead() { return CurrentFileTime() + int64_t{31} * 24 * 3600 * kFileTimeTicksPerSecond; }

class RememberedCompareTest : public ManifestTest {
protected:
    void SetUp() override {
        WriteProgramManifest("UNCONDITIONALUPDATE=1\r\n");
        InstallCurrentA();
        dir.Write("app\\sub\\b.txt", "world");
    }
    std::string Folder() const { return S_UpdateCheckInfo(dir.File("app"), "", "").LocalFolder; }
    std::filesystem::path FsPath(const std::string& name) const { return TempDir::ToFsPath(dir.File("app\\" + name)); }
    // The changed files and what the compare read and remembered.
    std::tuple<List, size_t, size_t> CompareWith(RememberedDigests& memory) {
        const List changed = Compare("", "", &memory);
        return {changed, memory.Counts().Read, memory.Counts().Remembered};
    }
};

TEST_F(RememberedCompareTest, UnchangedFilesAreNotReadAgainAndChangesAreFound) {
    RememberedDigests memory(Folder(), &TenSecondsAhead);
    EXPECT_EQ(CompareWith(memory), std::make_tuple(List{}, 2u, 0u));
    EXPECT_EQ(CompareWith(memory), std::make_tuple(List{}, 0u, 2u));

    // The same size and the last-write time set back: the change time moved.
    const auto written = std::filesystem::last_write_time(FsPath("a.txt"));
    dir.Write("app\\a.txt", "hellO");
    std::filesystem::last_write_time(FsPath("a.txt"), written);
    std::vector<S_UpdateFileInfo> files;
    CompareManifest(ReadManifest(dir, "UpdateConfig.ini", ManifestLayout::Program), S_UpdateCheckInfo(Folder(), "", ""),
                    files, &memory);
    ASSERT_EQ(Names(files), List{"a.txt"});
    EXPECT_EQ(files[0].InstalledMD5, Md5Of(kHelloThereMd5));
    EXPECT_EQ(memory.Counts().Read, 1u);

    // Another file of the same size and times moved in: a new file id.
    dir.Write("app\\b.new", "jello");
    std::filesystem::last_write_time(FsPath("b.new"), std::filesystem::last_write_time(FsPath("sub\\b.txt")));
    std::filesystem::rename(FsPath("b.new"), FsPath("sub\\b.txt"));
    EXPECT_EQ(CompareWith(memory), std::make_tuple(List{"a.txt", "sub\\b.txt"}, 1u, 1u));
    EXPECT_EQ(CompareWith(memory), std::make_tuple(List{"a.txt", "sub\\b.txt"}, 0u, 2u));

    RemoveFile(dir.File("app\\a.txt"));
    EXPECT_EQ(CompareWith(memory), std::make_tuple(List{"a.txt", "sub\\b.txt"}, 1u, 1u));
    EXPECT_EQ(memory.Files().size(), 1u);

    // A file with a second name is read every time.
    std::filesystem::create_hard_link(FsPath("sub\\b.txt"), FsPath("b.link"));
    dir.Write("app\\b.link", "world");
    EXPECT_EQ(CompareWith(memory), std::make_tuple(List{"a.txt"}, 2u, 0u));
    EXPECT_EQ(CompareWith(memory), std::make_tuple(List{"a.txt"}, 2u, 0u));
}

TEST_F(RememberedCompareTest, FilesWrittenWithinTheMarginOfTheirReadAreReadAgain) {
    RememberedDigests memory(Folder());  // the files were written a moment ago
    EXPECT_EQ(CompareWith(memory), std::make_tuple(List{}, 2u, 0u));
    EXPECT_EQ(CompareWith(memory), std::make_tuple(List{}, 2u, 0u));
#ifndef _WIN32
    // Two names that differ only in case: which one an open finds is not
    // the listing's to say.
    RememberedDigests settled(Folder(), &TenSecondsAhead);
    dir.Write("app\\A.txt", "other");
    CompareWith(settled);
    EXPECT_EQ(CompareWith(settled), std::make_tuple(List{}, 1u, 1u));
#endif
}

TEST_F(RememberedCompareTest, ASavedMemoryIsUsedOnlyWhenWholeAndYoung) {
    const std::string path = dir.File("UPDATE\\Program.digests");
    {
        RememberedDigests memory(Folder(), &TenSecondsAhead);
        CompareWith(memory);
        ASSERT_TRUE(SaveRememberedDigests(path, memory));
    }
    LoadedDigests loaded = LoadRememberedDigests(path, Folder(), &TenSecondsAhead);
    EXPECT_EQ(loaded.State, RememberedDigestsState::Loaded);
    EXPECT_EQ(CompareWith(loaded.Memory), std::make_tuple(List{}, 0u, 2u));
    loaded = LoadRememberedDigests(path, Folder(), &ThirtyOneDaysAhead);
    EXPECT_EQ(CompareWith(loaded.Memory), std::make_tuple(List{}, 2u, 0u));  // read again every 30 days

    std::string bytes;
    ASSERT_EQ(ReadWholeFile(path, 1 << 20, bytes), FileReadStatus::Ok);
    std::string flipped = bytes;
    flipped[bytes.size() / 2] ^= 0x01;
    std::string otherVersion = bytes;
    otherVersion[4] = 2;
    struct Case { std::string bytes; RememberedDigestsState state; };
    const Case cases[] = {
        {bytes.substr(0, bytes.size() - 1), RememberedDigestsState::Damaged},
        {bytes.substr(0, bytes.size() / 2), RememberedDigestsState::Damaged},
        {bytes.substr(0, 6), RememberedDigestsState::Damaged},
        {"", RememberedDigestsState::Damaged},
        {flipped, RememberedDigestsState::Damaged},
        {bytes + "x", RememberedDigestsState::Damaged},
        {"[Install]\r\nManifest=config.ini\r\n", RememberedDigestsState::Foreign},
        {otherVersion, RememberedDigestsState::OtherVersion},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(ReplaceFileAtomically(path, c.bytes));
        loaded = LoadRememberedDigests(path, Folder(), &TenSecondsAhead);
        EXPECT_EQ(loaded.State, c.state) << DescribeRememberedDigestsState(c.state);
        EXPECT_EQ(CompareWith(loaded.Memory), std::make_tuple(List{}, 2u, 0u));  // only time is lost
    }
    ASSERT_TRUE(ReplaceFileAtomically(path, bytes));
    EXPECT_EQ(LoadRememberedDigests(path, dir.File("other\\")).State, RememberedDigestsState::OtherFolder);
    RemoveFile(path);
    EXPECT_EQ(LoadRememberedDigests(path, Folder()).State, RememberedDigestsState::Missing);
}

}  // namespace
