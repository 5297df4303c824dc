#include "base/file_io.h"
#include "base/path_info.h"

#include "base/directory_ex.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
std::string NameOf(const std::string& path) { return path.substr(CDirectoryEx::GetFilePath(path).size()); }

TEST(FileIoTest, InterruptedBeforeMoveLeavesOldFile) {
    TempDir dir;
    dir.Write("Config.dat", "old");
    const std::string path = dir.File("Config.dat");

    std::string temp;
    ASSERT_TRUE(WriteTempFileBeside(path, "new", temp));
    // Stopped here: the old file is whole, the new bytes wait beside it.
    EXPECT_EQ(dir.Read("Config.dat"), "old");
    EXPECT_EQ(CDirectoryEx::GetFilePath(temp), dir.Path());
    EXPECT_NE(NameOf(temp).substr(NameOf(temp).size() - 4), ".bak");
    EXPECT_EQ(dir.Read(NameOf(temp)), "new");

    ASSERT_TRUE(MoveFileOver(temp, path));
    EXPECT_EQ(dir.Read("Config.dat"), "new");
    EXPECT_FALSE(FileExists(temp));
}

TEST(FileIoTest, FailedMoveRemovesTempAndKeepsTarget) {
    TempDir dir;
    dir.Write("target\\inside", "x");  // a folder cannot be replaced by a file
    std::string temp;
    ASSERT_TRUE(WriteTempFileBeside(dir.File("target"), "new", temp));
    const Status moved = MoveFileOver(temp, dir.File("target"));
    ASSERT_FALSE(moved);
    EXPECT_EQ(ClassOf(moved.Why().Kind), FailureClass::Local);
    EXPECT_FALSE(FileExists(temp));
    EXPECT_EQ(dir.Read("target\\inside"), "x");
}

TEST(FileIoTest, ReadStatuses) {
    TempDir dir;
    dir.Write("five", "12345");
    dir.Write("folder\\f", "");
    std::string bytes = "stale";
    EXPECT_EQ(ReadWholeFile(dir.File("five"), 5, bytes), FileReadStatus::Ok);
    EXPECT_EQ(bytes, "12345");
    EXPECT_EQ(ReadWholeFile(dir.File("five"), 4, bytes), FileReadStatus::TooLarge);
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(ReadWholeFile(dir.File("none"), 9, bytes), FileReadStatus::Missing);
    EXPECT_EQ(ReadWholeFile(dir.File("nofolder\\none"), 9, bytes), FileReadStatus::Missing);
    EXPECT_EQ(ReadWholeFile(dir.File("folder"), 9, bytes), FileReadStatus::Failed);
    EXPECT_TRUE(FileExists(dir.File("five")));
    EXPECT_FALSE(FileExists(dir.File("folder")));
    EXPECT_TRUE(DirectoryExists(dir.File("folder")));
    EXPECT_FALSE(DirectoryExists(dir.File("five")));
    EXPECT_TRUE(RemoveFile(dir.File("five")));
    EXPECT_TRUE(RemoveFile(dir.File("five")));  // gone is gone
    EXPECT_FALSE(FileExists(dir.File("five")));
}

TEST(FileIoTest, GbkAndLongPaths) {
    TempDir dir;
    // 管家\ then levels that take the path well beyond MAX_PATH (260).
    std::string folder = dir.File("\xb9\xdc\xbc\xd2\\");
    for (int level = 0; level < 6; ++level) folder += std::string(60, static_cast<char>('a' + level)) + "\\";
    ASSERT_GT(folder.size(), 300u);
    ASSERT_TRUE(CDirectoryEx::CreateMultipleDirectory(folder));
    const std::string path = folder + "\xce\xc4\xbc\xfe.dat";  // 文件.dat
    ASSERT_TRUE(ReplaceFileAtomically(path, "content"));
    std::string bytes;
    EXPECT_EQ(ReadWholeFile(path, 100, bytes), FileReadStatus::Ok);
    EXPECT_EQ(bytes, "content");
    EXPECT_TRUE(FileExists(path));
    EXPECT_TRUE(dir.Exists("\xb9\xdc\xbc\xd2"));  // the GBK name is the real name on disk
    EXPECT_TRUE(CDirectoryEx::DeleteDirectory(dir.File("\xb9\xdc\xbc\xd2")));
}
}  // namespace
