#include "engine/install_win.h"

#include "base/directory_ex.h"
#include "base/long_path_win.h"
#include "base/ensure_parent_folder.h"

#include <windows.h>

namespace {

bool CopyOver(const std::wstring& source, const std::wstring& destination) {
    return CopyFileW(source.c_str(), destination.c_str(), FALSE) != FALSE;
}

// One staged file over its installed copy. A file in use (a running
// program's image, a DLL it loaded) cannot be overwritten but can usually be
// renamed, so it is moved aside to ".bak" and the new copy takes its name.
bool InstallOne(const std::string& source, const std::string& destination) {
    EnsureParentFolder(destination);

    const std::wstring wideSource = LongPath(source);
    const std::wstring wideDestination = LongPath(destination);
    if (CopyOver(wideSource, wideDestination)) return true;

    const std::wstring backup = LongPath(destination + ".bak");
    // No replace flag: a ".bak" that the clean-up could not delete stays, and
    // the installed file stays where it is.
    if (!MoveFileExW(wideDestination.c_str(), backup.c_str(), 0)) return false;
    if (CopyOver(wideSource, wideDestination)) return true;
    // Never leave the installed file only under its backup name.
    MoveFileExW(backup.c_str(), wideDestination.c_str(), 0);
    return false;
}

}  // namespace

bool InstallStagedFiles(const std::vector<S_UpdateFileInfo>& files, const std::string& stagingFolder,
                        const std::string& targetFolder) {
    bool allInstalled = true;
    for (const S_UpdateFileInfo& file : files) {
        if (!InstallOne(stagingFolder + file.FileName, targetFolder + file.FileName)) allInstalled = false;
    }
    return allInstalled;
}

void DeleteLeftoverBackups(const std::string& applicationFolder) {
    std::vector<std::string> backups;
    CDirectoryEx::SearchFile(applicationFolder, true, "*.bak", backups);
    for (const std::string& backup : backups) {
        const std::wstring path = LongPath(backup);
        // A read-only file that was replaced keeps its attribute under the
        // backup name; without clearing it the backup would never go.
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }
}
