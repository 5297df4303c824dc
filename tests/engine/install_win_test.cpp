#include "engine/install_win.h"

#include "base/wide_text_win.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

// Holds a file open the way a running client does: read sharing only, so it
// cannot be overwritten; with allowRename its name can still be moved, as a
// loaded program image's can.
class HeldFile {
public:
    HeldFile(const std::string& path, DWORD share)
        : handle_(CreateFileW(Widen(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~HeldFile() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};
constexpr DWORD kRenameAllowed = FILE_SHARE_READ | FILE_SHARE_DELETE;
constexpr DWORD kNoSharing = 0;

class InstallTest : public ::testing::Test {
protected:
    bool Install(const std::vector<std::string>& names) {
        std::vector<S_UpdateFileInfo> files;
        for (const auto& n : names) files.push_back({n, "", "", ""});
        return InstallStagedFiles(files, dir.File("stage\\"), dir.File("app\\"));
    }
    TempDir dir;
};

TEST_F(InstallTest, CopiesIntoNewSubFoldersAndOverExistingFiles) {
    dir.Write("stage\\a.dll", "new a");
    dir.Write("stage\\Data\\New\\b.dat", "new b");
    dir.Write("app\\a.dll", "old a");
    EXPECT_TRUE(Install({"a.dll", "Data\\New\\b.dat"}));
    EXPECT_EQ(dir.Read("app\\a.dll"), "new a");
    EXPECT_EQ(dir.Read("app\\Data\\New\\b.dat"), "new b");
    EXPECT_FALSE(dir.Exists("app\\a.dll.bak"));
}

TEST_F(InstallTest, FileInUseIsMovedToBakAndReplaced) {
    dir.Write("stage\\Main.dll", "new");
    dir.Write("app\\Main.dll", "old");
    HeldFile held(dir.File("app\\Main.dll"), kRenameAllowed);
    ASSERT_TRUE(held.ok());
    EXPECT_TRUE(Install({"Main.dll"}));
    EXPECT_EQ(dir.Read("app\\Main.dll"), "new");
    EXPECT_EQ(dir.Read("app\\Main.dll.bak"), "old");
}

TEST_F(InstallTest, ReadOnlyInstalledFileIsReplacedAndItsBackupCleanedUp) {
    dir.Write("stage\\ro.txt", "new");
    dir.Write("app\\ro.txt", "old");
    SetFileAttributesW(Widen(dir.File("app\\ro.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(Install({"ro.txt"}));
    EXPECT_EQ(dir.Read("app\\ro.txt"), "new");
    DeleteLeftoverBackups(dir.Path());
    EXPECT_FALSE(dir.Exists("app\\ro.txt.bak"));
}

TEST_F(InstallTest, FileThatCannotBeRenamedStaysAndIsReported) {
    dir.Write("stage\\locked.dat", "new");
    dir.Write("stage\\other.dat", "new other");
    dir.Write("app\\locked.dat", "old");
    HeldFile held(dir.File("app\\locked.dat"), kNoSharing);
    ASSERT_TRUE(held.ok());
    EXPECT_FALSE(Install({"locked.dat", "other.dat"}));
    EXPECT_FALSE(dir.Exists("app\\locked.dat.bak"));
    EXPECT_EQ(dir.Read("app\\other.dat"), "new other");  // the rest still goes in
}

TEST_F(InstallTest, TakenBakNameLeavesInstalledFileInPlace) {
    dir.Write("stage\\x.dll", "new");
    dir.Write("app\\x.dll", "old");
    dir.Write("app\\x.dll.bak", "older");
    HeldFile held(dir.File("app\\x.dll"), kRenameAllowed);
    ASSERT_TRUE(held.ok());
    EXPECT_FALSE(Install({"x.dll"}));
    EXPECT_EQ(dir.Read("app\\x.dll"), "old");
    EXPECT_EQ(dir.Read("app\\x.dll.bak"), "older");
}

// The rename succeeds but the second copy fails (here: the staged file is
// locked): the installed file must come back from its backup name.
TEST_F(InstallTest, BackupIsMovedBackWhenSecondCopyFails) {
    dir.Write("stage\\y.dll", "new");
    dir.Write("app\\y.dll", "old");
    HeldFile source(dir.File("stage\\y.dll"), kNoSharing);
    ASSERT_TRUE(source.ok());
    HeldFile target(dir.File("app\\y.dll"), kRenameAllowed);
    ASSERT_TRUE(target.ok());
    EXPECT_FALSE(Install({"y.dll"}));
    EXPECT_EQ(dir.Read("app\\y.dll"), "old");
    EXPECT_FALSE(dir.Exists("app\\y.dll.bak"));
}

TEST_F(InstallTest, TargetFolderThatIsAFileFailsWithoutHarm) {
    dir.Write("stage\\sub\\z.dat", "new");
    dir.Write("app\\sub", "i am a file");
    EXPECT_FALSE(Install({"sub\\z.dat"}));
    EXPECT_EQ(dir.Read("app\\sub"), "i am a file");
}

TEST_F(InstallTest, MissingStagedFileIsReported) {
    dir.Write("app\\keep.dat", "old");
    EXPECT_FALSE(Install({"keep.dat"}));
    EXPECT_EQ(dir.Read("app\\keep.dat"), "old");
}

TEST(BackupCleanupTest, DeletesBakFilesBelowTheFolderOnly) {
    TempDir dir;
    dir.Write("a.dll.bak", "x");
    dir.Write("Map\\deep\\b.dat.bak", "x");
    dir.Write("keep.bakery", "x");
    dir.Write("keep.dll", "x");
    DeleteLeftoverBackups(dir.Path());
    EXPECT_FALSE(dir.Exists("a.dll.bak"));
    EXPECT_FALSE(dir.Exists("Map\\deep\\b.dat.bak"));
    EXPECT_TRUE(dir.Exists("keep.bakery"));
    EXPECT_TRUE(dir.Exists("keep.dll"));
}

}  // namespace
