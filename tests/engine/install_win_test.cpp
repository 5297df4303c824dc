#include "engine/install_win.h"

#include "base/gbk_text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>

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
    InstallReport Install(const std::vector<std::string>& names) {
        std::vector<S_UpdateFileInfo> files;
        for (const auto& n : names) files.emplace_back().FileName = n;
        return InstallStagedFiles(files, dir.File("stage\\"), dir.File("app\\"));
    }
    // Nothing of the updater's own is left beside the installed file.
    void ExpectNoTemporaryCopy(const std::string& name) const { EXPECT_FALSE(dir.Exists("app\\" + name + ".updating")); }
    TempDir dir;
};

TEST_F(InstallTest, MovesIntoNewSubFoldersAndOverExistingFiles) {
    dir.Write("stage\\a.dll", "new a");
    dir.Write("stage\\Data\\New\\b.dat", "new b");
    dir.Write("app\\a.dll", "old a");
    const InstallReport report = Install({"a.dll", "Data\\New\\b.dat"});
    EXPECT_TRUE(report.Complete());
    EXPECT_EQ(report.Replaced, 2u);
    EXPECT_EQ(report.ThroughBackup, 0u);
    EXPECT_EQ(dir.Read("app\\a.dll"), "new a");
    EXPECT_EQ(dir.Read("app\\Data\\New\\b.dat"), "new b");
    EXPECT_FALSE(dir.Exists("app\\a.dll.bak"));
    ExpectNoTemporaryCopy("a.dll");
    EXPECT_FALSE(dir.Exists("stage\\a.dll"));  // moved, not copied
}

TEST_F(InstallTest, FileInUseIsMovedToBakAndReplaced) {
    dir.Write("stage\\Main.dll", "new");
    dir.Write("app\\Main.dll", "old");
    HeldFile held(dir.File("app\\Main.dll"), kRenameAllowed);
    ASSERT_TRUE(held.ok());
    const InstallReport report = Install({"Main.dll"});
    EXPECT_TRUE(report.Complete());
    EXPECT_EQ(report.ThroughBackup, 1u);
    EXPECT_EQ(dir.Read("app\\Main.dll"), "new");
    EXPECT_EQ(dir.Read("app\\Main.dll.bak"), "old");
    ExpectNoTemporaryCopy("Main.dll");
}

TEST_F(InstallTest, ReadOnlyInstalledFileIsReplacedAndItsBackupCleanedUp) {
    dir.Write("stage\\ro.txt", "new");
    dir.Write("app\\ro.txt", "old");
    SetFileAttributesW(Widen(dir.File("app\\ro.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(Install({"ro.txt"}).Complete());
    EXPECT_EQ(dir.Read("app\\ro.txt"), "new");
    EXPECT_TRUE(CleanUpAfterEarlierInstalls(dir.Path()).Failures.empty());
    EXPECT_FALSE(dir.Exists("app\\ro.txt.bak"));
}

TEST_F(InstallTest, FileThatCannotBeRenamedStaysAndIsReported) {
    dir.Write("stage\\locked.dat", "new");
    dir.Write("stage\\other.dat", "new other");
    dir.Write("app\\locked.dat", "old");
    HeldFile held(dir.File("app\\locked.dat"), kNoSharing);
    ASSERT_TRUE(held.ok());
    const InstallReport report = Install({"locked.dat", "other.dat"});
    ASSERT_EQ(report.Failures.size(), 1u);
    EXPECT_EQ(report.Failures[0].Name, "locked.dat");
    EXPECT_EQ(report.Failures[0].Why.Kind, FailureKind::InUse) << DescribeFailure(report.Failures[0].Why);
    EXPECT_FALSE(dir.Exists("app\\locked.dat.bak"));
    ExpectNoTemporaryCopy("locked.dat");
    EXPECT_EQ(dir.Read("app\\other.dat"), "new other");  // the rest still goes in
}

TEST_F(InstallTest, TakenBakNameLeavesInstalledFileInPlace) {
    dir.Write("stage\\x.dll", "new");
    dir.Write("app\\x.dll", "old");
    dir.Write("app\\x.dll.bak", "older");
    HeldFile held(dir.File("app\\x.dll"), kRenameAllowed);
    ASSERT_TRUE(held.ok());
    EXPECT_FALSE(Install({"x.dll"}).Complete());
    EXPECT_EQ(dir.Read("app\\x.dll"), "old");
    EXPECT_EQ(dir.Read("app\\x.dll.bak"), "older");
    ExpectNoTemporaryCopy("x.dll");
}

// A staged file that cannot be moved (held open here) leaves the installed
// file exactly as it was, even when that one had been moved aside.
TEST_F(InstallTest, AFailedMoveLeavesTheInstalledFileAsItWas) {
    dir.Write("stage\\y.dll", "new");
    dir.Write("app\\y.dll", "old");
    HeldFile source(dir.File("stage\\y.dll"), kNoSharing);
    ASSERT_TRUE(source.ok());
    HeldFile target(dir.File("app\\y.dll"), kRenameAllowed);
    ASSERT_TRUE(target.ok());
    EXPECT_FALSE(Install({"y.dll"}).Complete());
    EXPECT_EQ(dir.Read("app\\y.dll"), "old");
    EXPECT_FALSE(dir.Exists("app\\y.dll.bak"));
    ExpectNoTemporaryCopy("y.dll");
}

TEST_F(InstallTest, TargetFolderThatIsAFileFailsWithoutHarm) {
    dir.Write("stage\\sub\\z.dat", "new");
    dir.Write("app\\sub", "i am a file");
    EXPECT_FALSE(Install({"sub\\z.dat"}).Complete());
    EXPECT_EQ(dir.Read("app\\sub"), "i am a file");
}

TEST_F(InstallTest, MissingStagedFileIsReported) {
    dir.Write("app\\keep.dat", "old");
    EXPECT_FALSE(Install({"keep.dat"}).Complete());
    EXPECT_EQ(dir.Read("app\\keep.dat"), "old");
}

// A backup goes only when the file it was taken from is there; without that
// file (an install cut short between its two moves) it becomes the file
// again. Temporary copies of a cut-short install are removed. The staging
// area is not installed files and is left alone.
TEST(CleanUpAfterEarlierInstallsTest, RemovesBackupsOfPresentFilesAndRestoresTheOthers) {
    TempDir dir;
    dir.Write("a.dll.bak", "old a");
    dir.Write("a.dll", "new a");
    dir.Write("core.dll.bak", "old core");  // core.dll itself is missing
    dir.Write("Map\\deep\\b.dat.bak", "old b");
    dir.Write("Map\\deep\\b.dat", "new b");
    dir.Write("Map\\c.dat.updating", "half a copy");
    dir.Write("UPDATE\\Program\\staged.bak", "a staged file");
    dir.Write("keep.bakery", "x");
    const CleanupReport report = CleanUpAfterEarlierInstalls(dir.Path());
    EXPECT_EQ(report.BackupsRemoved, 2u);
    EXPECT_EQ(report.BackupsRestored, 1u);
    EXPECT_EQ(report.TemporariesRemoved, 1u);
    EXPECT_TRUE(report.Failures.empty());
    EXPECT_FALSE(dir.Exists("a.dll.bak"));
    EXPECT_EQ(dir.Read("a.dll"), "new a");
    EXPECT_FALSE(dir.Exists("core.dll.bak"));
    EXPECT_EQ(dir.Read("core.dll"), "old core");
    EXPECT_FALSE(dir.Exists("Map\\deep\\b.dat.bak"));
    EXPECT_FALSE(dir.Exists("Map\\c.dat.updating"));
    EXPECT_TRUE(dir.Exists("UPDATE\\Program\\staged.bak"));
    EXPECT_TRUE(dir.Exists("keep.bakery"));
}

}  // namespace

// The program's install keeps what it replaces as a second name of the
// same file (no copy) and notes what it adds; the undo puts each file back
// the way an install puts one in place, a file in use through ".bak", and
// done again after a cut it ends the same.
TEST_F(InstallTest, AKeptInstallIsUndoneWholeAndCanBeUndoneAgain) {
    dir.Write("app\\a.dll", "old a");
    dir.Write("app\\Main.dll", "old main");
    for (const char* name : {"a.dll", "Main.dll", "sub\\added.dat"}) dir.Write(std::string("stage\\") + name, "new");
    const std::vector<std::string> names{"a.dll", "Main.dll", "sub\\added.dat"};
    bool fresh = false;
    const KeptRelease kept = KeepForInstall(
        std::nullopt, "id", "2.0", "1.0", names, [&](const std::string& name) { return dir.Exists("app\\" + name); },
        fresh);
    const KeepReport keep = KeepInstalledFiles(kept, dir.File("app\\"), dir.File("keep\\"));
    EXPECT_TRUE(keep.Complete());
    EXPECT_EQ(keep.Kept, 2u);
    EXPECT_EQ(keep.Linked, 2u);
    ASSERT_TRUE(Install(names).Complete());
    EXPECT_EQ(dir.Read("keep\\a.dll"), "old a");

    HeldFile running(dir.File("app\\Main.dll"), kRenameAllowed);
    ASSERT_TRUE(running.ok());
    for (int pass = 0; pass < 2; ++pass) {
        const RestoreReport undo = RestoreKeptFiles(kept, dir.File("app\\"), dir.File("keep\\"));
        EXPECT_TRUE(undo.Complete()) << DescribeFailure(undo.Failures.front().Why);
        EXPECT_EQ(undo.Restored, 2u);
        EXPECT_EQ(undo.Removed, pass == 0 ? 1u : 0u);
        EXPECT_EQ(dir.Read("app\\a.dll"), "old a");
        EXPECT_EQ(dir.Read("app\\Main.dll"), "old main");
        EXPECT_FALSE(dir.Exists("app\\sub\\added.dat"));
        ExpectNoTemporaryCopy("a.dll");
    }
    EXPECT_EQ(dir.Read("app\\Main.dll.bak"), "new");  // was in use: the next run's clean-up removes it
    EXPECT_EQ(dir.Read("keep\\Main.dll"), "old main");
}
