#include "engine/run_profile.h"

#include <gtest/gtest.h>

namespace {

TEST(RunProfileTest, FoldersAndManifestOfEachRun) {
    const RunProfile program = SilentProgramRun("C:\\App\\");
    EXPECT_EQ(program.TargetFolder, "C:\\App\\");
    EXPECT_EQ(program.StagingFolder, "C:\\App\\UPDATE\\Program\\");
    EXPECT_EQ(program.ManifestFileName, "UpdateConfig.ini");
    EXPECT_EQ(program.Layout, ManifestLayout::Program);

    const RunProfile package = SilentPackageRun("C:\\App\\", 2, "Map");
    EXPECT_EQ(package.TargetFolder, "C:\\App\\Map\\");
    EXPECT_EQ(package.StagingFolder, "C:\\App\\UPDATE\\Map\\");
    EXPECT_EQ(package.ManifestFileName, "config.ini");
    EXPECT_EQ(package.Layout, ManifestLayout::DataPackage);

    // The dialog reads the program's layout for every package type.
    const RunProfile dialogPackage = DialogRun("C:\\App\\", 2, "Map");
    EXPECT_EQ(dialogPackage.TargetFolder, "C:\\App\\Map\\");
    EXPECT_EQ(dialogPackage.StagingFolder, "C:\\App\\UPDATE\\Map\\");
    EXPECT_EQ(dialogPackage.ManifestFileName, "UpdateConfig.ini");
    EXPECT_EQ(dialogPackage.Layout, ManifestLayout::Program);
    EXPECT_EQ(DialogRun("C:\\App\\", 1, "").StagingFolder, "C:\\App\\UPDATE\\Program\\");
}

TEST(RunProfileTest, HowEachRunRecordsAnInstall) {
    const RunProfile silent = SilentProgramRun("C:\\App\\");
    EXPECT_EQ(silent.Version, VersionRecord::Always);
    EXPECT_EQ(silent.RecordSectionFormat, "%Y-%m-%d");
    EXPECT_FALSE(silent.CopiesPackageManifest);

    const RunProfile package = SilentPackageRun("C:\\App\\", 2, "Map");
    EXPECT_EQ(package.Version, VersionRecord::Never);
    EXPECT_EQ(package.RecordSectionFormat, "");
    EXPECT_TRUE(package.CopiesPackageManifest);

    const RunProfile dialog = DialogRun("C:\\App\\", 1, "");
    EXPECT_EQ(dialog.Version, VersionRecord::WhenGreater);
    EXPECT_EQ(dialog.RecordSectionFormat, "%Y-%m-%d %H:%M:%S");
    const RunProfile dialogPackage = DialogRun("C:\\App\\", 3, "Map");
    EXPECT_EQ(dialogPackage.Version, VersionRecord::Never);
    EXPECT_EQ(dialogPackage.RecordSectionFormat, "%Y-%m-%d %H:%M:%S");
    EXPECT_FALSE(dialogPackage.CopiesPackageManifest) << "the dialog fetches no config.ini to copy";
}

TEST(RunProfileTest, OnlyAPlainFolderNameIsAUsablePackage) {
    EXPECT_TRUE(HasUsableFolders(SilentProgramRun("C:\\App\\")));
    EXPECT_TRUE(HasUsableFolders(SilentPackageRun("C:\\App\\", 2, "Map")));
    for (const char* name : {"", ".", "..", "a\\b", "a/b", "C:", "..\\..", "con", "update", "previous", "Previous.KEPT"}) {
        EXPECT_FALSE(HasUsableFolders(SilentPackageRun("C:\\App\\", 2, name))) << name;
        EXPECT_FALSE(HasUsableFolders(DialogRun("C:\\App\\", 2, name))) << name;
    }
}

}  // namespace
