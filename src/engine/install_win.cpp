#include "engine/install_win.h"

#include "base/directory_ex.h"
#include "base/handles_win.h"
#include "base/path_info.h"
#include "base/text_rules.h"
#include "engine/update_area.h"

#include <windows.h>

#include <string_view>

namespace {

FileFailure Failed(const std::string& what, const char* why, DWORD error) {
    return {what, LocalFailure(error, why)};
}

// The copy is on the disk before anything points at it, so a crash after
// the move can never leave a torn file under the installed name.
DWORD CopyFlushed(const std::wstring& source, const std::wstring& copy) {
    if (!CopyFileW(source.c_str(), copy.c_str(), FALSE)) return GetLastError();
    const UniqueFile file(CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return GetLastError();
    if (!FlushFileBuffers(file.get())) return GetLastError();
    return ERROR_SUCCESS;
}

// A file that is mapped or open without delete sharing cannot be replaced;
// it may still be renamed.
bool IsInUse(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION; }

// Puts the staged file at target in one step. It was flushed when it
// arrived (partial_file_win.h), so a rename moves it there whole: no second
// copy and no second flush. Only a staging folder on another volume than
// the file (linked elsewhere) makes a copy beside the file, flushed before
// it takes the name.
DWORD MoveInPlace(const std::wstring& staged, const std::wstring& target, const std::string& destination,
                  DWORD replace) {
    if (MoveFileExW(staged.c_str(), target.c_str(), replace | MOVEFILE_WRITE_THROUGH)) return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    if (error != ERROR_NOT_SAME_DEVICE) return error;
    const std::wstring copy = LongPath(destination + kInstallTempSuffix);
    DWORD copied = CopyFlushed(staged, copy);
    if (copied == ERROR_SUCCESS) {
        if (MoveFileExW(copy.c_str(), target.c_str(), replace | MOVEFILE_WRITE_THROUGH)) return ERROR_SUCCESS;
        copied = GetLastError();
    }
    DeleteFileW(copy.c_str());
    return copied;
}

enum class Placed { Replaced, ThroughBackup, Failed };

Placed InstallOne(const std::string& name, const std::string& source, const std::string& destination,
                  std::vector<FileFailure>& failures) {
    EnsureParentFolder(destination);
    const std::wstring staged = LongPath(source);
    const std::wstring target = LongPath(destination);

    const DWORD replaceError = MoveInPlace(staged, target, destination, MOVEFILE_REPLACE_EXISTING);
    if (replaceError == ERROR_SUCCESS) return Placed::Replaced;
    if (!IsInUse(replaceError) || !FileExists(destination)) {
        failures.push_back(Failed(name, "cannot be replaced", replaceError));
        return Placed::Failed;
    }
    // No replace flag: a ".bak" that could not be cleaned up stays, and so
    // does the installed file.
    const std::wstring backup = LongPath(destination + kBackupSuffix);
    if (!MoveFileExW(target.c_str(), backup.c_str(), MOVEFILE_WRITE_THROUGH)) {
        failures.push_back(Failed(name, "is in use and cannot be moved aside", GetLastError()));
        return Placed::Failed;
    }
    const DWORD error = MoveInPlace(staged, target, destination, 0);
    if (error == ERROR_SUCCESS) return Placed::ThroughBackup;
    // Never leave the installed file only under its backup name.
    MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    failures.push_back(Failed(name, "cannot take the place of the file in use", error));
    return Placed::Failed;
}

std::string WithoutSuffix(const std::string& path, std::string_view suffix) {
    return path.substr(0, path.size() - suffix.size());
}

}  // namespace

InstallReport InstallStagedFiles(const std::vector<S_UpdateFileInfo>& files, const std::string& stagingFolder,
                                 const std::string& targetFolder) {
    InstallReport report;
    for (const S_UpdateFileInfo& file : files) {
        switch (InstallOne(file.FileName, stagingFolder + file.FileName, targetFolder + file.FileName,
                           report.Failures)) {
        case Placed::ThroughBackup:
            ++report.ThroughBackup;
            [[fallthrough]];
        case Placed::Replaced:
            ++report.Replaced;
            break;
        case Placed::Failed:
            break;
        }
    }
    return report;
}

CleanupReport CleanUpAfterEarlierInstalls(const std::string& applicationFolder) {
    // The updater's own area holds downloads, not installed files.
    const CUpdateArea area(applicationFolder);
    CleanupReport report;
    std::vector<std::string> found;
    CDirectoryEx::SearchFile(applicationFolder, true, std::string("*") + kBackupSuffix, found);
    for (const std::string& backup : found) {
        if (area.Contains(backup)) continue;
        const std::wstring wideBackup = LongPath(backup);
        const std::string original = WithoutSuffix(backup, kBackupSuffix);
        if (!FileExists(original) && !DirectoryExists(original)) {
            if (MoveFileExW(wideBackup.c_str(), LongPath(original).c_str(), MOVEFILE_WRITE_THROUGH)) {
                ++report.BackupsRestored;
            } else {
                report.Failures.push_back(Failed(backup, "cannot be moved back", GetLastError()));
            }
            continue;
        }
        // A read-only file that was replaced keeps its attribute under the
        // backup name; without clearing it the backup would never go.
        SetFileAttributesW(wideBackup.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (DeleteFileW(wideBackup.c_str())) {
            ++report.BackupsRemoved;
        } else {
            report.Failures.push_back(Failed(backup, "cannot be removed", GetLastError()));
        }
    }
    found.clear();
    CDirectoryEx::SearchFile(applicationFolder, true, std::string("*") + kInstallTempSuffix, found);
    for (const std::string& copy : found) {
        if (area.Contains(copy)) continue;
        if (DeleteFileW(LongPath(copy).c_str())) {
            ++report.TemporariesRemoved;
        } else {
            report.Failures.push_back(Failed(copy, "cannot be removed", GetLastError()));
        }
    }
    return report;
}
