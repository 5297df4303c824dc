#include "base/directory_ex.h"

#include "base/file_io.h"
#include "base/folder_metadata.h"
#include "base/path_info.h"
#include "crypto/file_digests.h"
#include "base/text_rules.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {
constexpr char kSeparator = TempDir::kSeparator;

TEST(DirectoryExTest, GetFilePath) {
    struct Case {
        std::string path, folder;
    };
    const Case cases[] = {
        {"C:\\app\\Update.exe", "C:\\app\\"},
        {"C:\\app\\", "C:\\app\\"},
        {"a/b\\c", "a/b\\"},
        {"name", ""},
        {"", ""},
        // 0x95 0x5C is one GBK character whose second byte is '\'.
        {"C:\\\x95\x5c\\f", "C:\\\x95\x5c\\"},
        {"C:\\d\\\x95\x5c", "C:\\d\\"},
    };
    for (const Case& c : cases) EXPECT_EQ(CDirectoryEx::GetFilePath(c.path), c.folder) << c.path;
}

TEST(DirectoryExTest, ApplicationPathHoldsThisProgram) {
    const std::string folder = CDirectoryEx::GetApplicationPath();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), kSeparator);
#ifdef _WIN32
    EXPECT_TRUE(FileExists(folder + "base_tests.exe"));
#else
    EXPECT_TRUE(FileExists(folder + "base_tests"));
#endif
}

TEST(DirectoryExTest, WildcardMatching) {
    struct Case {
        const char* name;
        const char* pattern;
        bool matches;
    };
    const Case cases[] = {
        {"a.bak", "*.bak", true},        {"A.BAK", "*.bak", true},        {"a.bak1", "*.bak", false},
        {"a.bak.bak", "*.bak", true},    {"bak", "*.bak", false},         {"noext", "*.*", true},
        {"x", "?", true},                {"xy", "?", false},              {"\xb9\xdc", "?", true},  // 管: one character
        {"\xb9\xdc.txt", "*.txt", true}, {"abc", "a*b*c*", true},         {"aaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*c", false},
        {"\x81\x41", "\x81\x61", false}, {"", "*", true},
    };
    for (const Case& c : cases) EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.matches) << c.name << " " << c.pattern;
}

TEST(DirectoryExTest, SearchFileFlatAndRecursive) {
    TempDir dir;
    for (const char* name : {"a.bak", "b.BAK", "c.bak1", "sub\\d.bak", "sub\\deeper\\e.bak", "sub\\f.txt",
                             "\xb9\xdc\\\xbc\xd2.bak" /* 管\家.bak */})
        dir.Write(name, "x");
    std::vector<std::string> flat{"kept"};
    CDirectoryEx::SearchFile(dir.Path(), false, "*.bak", flat);
    std::sort(flat.begin() + 1, flat.end());
    EXPECT_EQ(flat, (std::vector<std::string>{"kept", dir.File("a.bak"), dir.File("b.BAK")}));

    const std::string s(1, kSeparator);
    std::vector<std::string> all;
    CDirectoryEx::SearchFile(dir.Path(), true, "*.bak", all);
    std::sort(all.begin(), all.end());
    std::vector<std::string> expected = {dir.File("a.bak"), dir.File("b.BAK"), dir.File("sub" + s + "d.bak"),
                                         dir.File("sub" + s + "deeper" + s + "e.bak"),
                                         dir.File("\xb9\xdc" + s + "\xbc\xd2.bak")};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(all, expected);
    for (const std::string& path : all) EXPECT_TRUE(FileExists(path)) << path;
}

TEST(DirectoryExTest, DeleteDirectoryWithReadOnlyFile) {
    TempDir dir;
    dir.Write("UPDATE\\Program\\a.exe", "x");
    dir.Write("UPDATE\\Program\\sub\\\xbc\xd2.dll", "y");
    std::filesystem::permissions(TempDir::ToFsPath(dir.File("UPDATE\\Program\\a.exe")),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                     std::filesystem::perms::others_read);
    EXPECT_TRUE(CDirectoryEx::DeleteDirectory(dir.File("UPDATE\\")));
    EXPECT_FALSE(dir.Exists("UPDATE"));
    EXPECT_TRUE(DirectoryExists(dir.Path()));
    EXPECT_TRUE(CDirectoryEx::DeleteDirectory(dir.File("never-there\\")));
    EXPECT_FALSE(CDirectoryEx::DeleteDirectory(""));
}

TEST(DirectoryExTest, CreateMultipleDirectory) {
    TempDir dir;
    EXPECT_TRUE(CDirectoryEx::CreateMultipleDirectory(dir.File("a\\b\\\xb9\xdc\\")));
    EXPECT_TRUE(DirectoryExists(dir.File("a\\b\\\xb9\xdc")));
    EXPECT_TRUE(CDirectoryEx::CreateMultipleDirectory(dir.File("a\\b")));  // already there
    dir.Write("file", "x");
    EXPECT_FALSE(CDirectoryEx::CreateMultipleDirectory(dir.File("file\\sub\\")));
    EXPECT_FALSE(CDirectoryEx::CreateMultipleDirectory(""));
}

TEST(DirectoryExTest, LongPathsBeyondMaxPath) {
    TempDir dir;
    std::string folder = dir.Path();
    for (int level = 0; level < 5; ++level) folder += std::string(70, static_cast<char>('k' + level)) + "\\";
    ASSERT_TRUE(CDirectoryEx::CreateMultipleDirectory(folder));
    ASSERT_TRUE(ReplaceFileAtomically(folder + "deep.bak", "x"));
    std::vector<std::string> found;
    CDirectoryEx::SearchFile(dir.Path(), true, "*.bak", found);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_GT(found[0].size(), 260u);
    EXPECT_TRUE(FileExists(found[0]));
    std::string digest;
    EXPECT_EQ(CMD5::GetFileMD5(found[0], digest), 0);
    EXPECT_EQ(digest, "9dd4e461268c8034f5c8564e155c67a6");  // md5 of "x"
    EXPECT_TRUE(CDirectoryEx::DeleteDirectory(dir.File(std::string(70, 'k'))));
    EXPECT_FALSE(FileExists(found[0]));
}
// One directory query per folder: each plain file's size, times and id.
// A last-write time set back leaves the change time where it was or later,
// and a file moved over another brings its own id.
TEST(DirectoryExTest, FolderMetadataFromOneQuery) {
    TempDir dir;
    const std::string gbkName = "\xce\xc4\xbc\xfe.dat";  // 文件.dat
    dir.Write("a.txt", "hello");
    dir.Write(gbkName, "12");
    dir.Write("sub\\c.txt", "x");
    const auto listed = [&](const std::string& name) {
        const FolderMetadata folder = ReadFolderMetadata(dir.Path());
        EXPECT_EQ(folder.Status, FolderReadStatus::Ok);
        const auto found = std::find_if(folder.Files.begin(), folder.Files.end(),
                                        [&](const FileMetadata& file) { return file.Name == name; });
        return found == folder.Files.end() ? FileMetadata{} : *found;
    };
    EXPECT_EQ(ReadFolderMetadata(dir.Path()).Files.size(), 2u);  // the folder sub is no file
    EXPECT_TRUE(KeepsChangeTimes(dir.Path()));
    EXPECT_FALSE(IsLinkedFolder(dir.File("sub\\")));
#ifndef _WIN32
    std::filesystem::create_directory_symlink(TempDir::ToFsPath(dir.File("sub")), TempDir::ToFsPath(dir.File("link")));
    EXPECT_TRUE(IsLinkedFolder(dir.File("link\\")));
#endif
    const FileMetadata before = listed("a.txt");
    EXPECT_EQ(before.Size, 5u);
    EXPECT_EQ(listed(gbkName).Size, 2u);
    EXPECT_NE(before.FileId, 0u);
    EXPECT_NE(before.FileId, listed(gbkName).FileId);
    // The clock the change times are compared with is theirs.
    EXPECT_LE(before.ChangeTime, CurrentFileTime() + kFileTimeTicksPerSecond);
    EXPECT_GT(before.ChangeTime, CurrentFileTime() - 3600 * kFileTimeTicksPerSecond);

    const auto path = TempDir::ToFsPath(dir.File("a.txt"));
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) - std::chrono::hours(24));
    const FileMetadata setBack = listed("a.txt");
    EXPECT_LT(setBack.LastWriteTime, before.LastWriteTime - 23 * 3600 * kFileTimeTicksPerSecond);
    EXPECT_GE(setBack.ChangeTime, before.ChangeTime);

    dir.Write("b.tmp", "hello");
    const uint64_t movedId = listed("b.tmp").FileId;
    std::filesystem::rename(TempDir::ToFsPath(dir.File("b.tmp")), path);
    EXPECT_EQ(listed("a.txt").FileId, movedId);
    EXPECT_EQ(ReadFolderMetadata(dir.File("none")).Status, FolderReadStatus::Missing);
}
}  // namespace
