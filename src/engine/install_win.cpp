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

// A second name for the same file costs no copy; where the volume has no
// hard links (FAT) or the name cannot be made, a flushed copy stands in.
DWORD LinkOrCopyFlushed(const std::wstring& source, const std::wstring& copy) {
    DeleteFileW(copy.c_str());
    if (CreateHardLinkW(copy.c_str(), source.c_str(), nullptr)) return ERROR_SUCCESS;
    return CopyFlushed(source, copy);
}

// A file that is mapped or open without delete sharing cannot be replaced;
// it may still be renamed.
bool IsInUse(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION; }

// Puts a file at target in one step. A staged download was flushed when it
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
// What takes the installed file's name: a staged download itself, moved
// (the staging folder goes afterwards), or, for a kept file, which stays
// for another rollback, a link to it beside the installed file.
enum class Beside { Move, LinkOrCopy };

Placed InstallOne(const std::string& name, const std::string& source, const std::string& destination,
                  std::vector<FileFailure>& failures, Beside beside = Beside::Move) {
    EnsureParentFolder(destination);
    const std::wstring target = LongPath(destination);
    std::wstring incoming = LongPath(source);
    if (beside == Beside::LinkOrCopy) {
        incoming = LongPath(destination + kInstallTempSuffix);
        if (const DWORD error = LinkOrCopyFlushed(LongPath(source), incoming); error != ERROR_SUCCESS) {
            DeleteFileW(incoming.c_str());
            failures.push_back(Failed(name, "cannot be copied beside the installed file", error));
            return Placed::Failed;
        }
    }
    // The name beside the file goes whatever happened: when both names were
    // links of one file already (a rollback done again), POSIX rename, and
    // so Wine, leaves both in place.
    const auto placed = [&](Placed result) {
        if (beside == Beside::LinkOrCopy) DeleteFileW(incoming.c_str());
        return result;
    };

    const DWORD replaceError = MoveInPlace(incoming, target, destination, MOVEFILE_REPLACE_EXISTING);
    if (replaceError == ERROR_SUCCESS) return placed(Placed::Replaced);
    if (!IsInUse(replaceError) || !FileExists(destination)) {
        failures.push_back(Failed(name, "cannot be replaced", replaceError));
        return placed(Placed::Failed);
    }
    // No replace flag: a ".bak" that could not be cleaned up stays, and so
    // does the installed file.
    const std::wstring backup = LongPath(destination + kBackupSuffix);
    if (!MoveFileExW(target.c_str(), backup.c_str(), MOVEFILE_WRITE_THROUGH)) {
        failures.push_back(Failed(name, "is in use and cannot be moved aside", GetLastError()));
        return placed(Placed::Failed);
    }
    const DWORD error = MoveInPlace(incoming, target, destination, 0);
    if (error == ERROR_SUCCESS) return placed(Placed::ThroughBackup);
    // Never leave the installed file only under its backup name.
    MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    failures.push_back(Failed(name, "cannot take the place of the file in use", error));
    return placed(Placed::Failed);
}

// Counts a file put in place, and whether it went through ".bak".
void Count(Placed placed, size_t& replaced, size_t& throughBackup) {
    if (placed == Placed::Failed) return;
    ++replaced;
    if (placed == Placed::ThroughBackup) ++throughBackup;
}

std::string WithoutSuffix(const std::string& path, std::string_view suffix) {
    return path.substr(0, path.size() - suffix.size());
}

}  // namespace

InstallReport InstallStagedFiles(const std::vector<S_UpdateFileInfo>& files, const std::string& stagingFolder,
                                 const std::string& targetFolder) {
    InstallReport report;
    for (const S_UpdateFileInfo& file : files) {
        Count(InstallOne(file.FileName, stagingFolder + file.FileName, targetFolder + file.FileName, report.Failures),
              report.Replaced, report.ThroughBackup);
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

KeepReport KeepInstalledFiles(const KeptRelease& kept, const std::string& targetFolder, const std::string& keepFolder) {
    KeepReport report;
    for (const KeptName& entry : kept.Names) {
        const std::string installed = targetFolder + entry.Name;
        const std::string keptPath = keepFolder + entry.Name;
        if (!entry.Replaced || FileExists(keptPath) || !FileExists(installed)) continue;
        EnsureParentFolder(keptPath);
        // A link comes into being whole. It is made under its own name: a
        // rename would need delete access to the installed file, which a
        // program holding it without delete sharing denies.
        if (CreateHardLinkW(LongPath(keptPath).c_str(), LongPath(installed).c_str(), nullptr)) {
            ++report.Linked;
            ++report.Kept;
            continue;
        }
        // A copy gets the kept name only once it is whole: whenever the run
        // stops, what the folder holds under it can be put back.
        const std::wstring temporary = LongPath(keptPath + kInstallTempSuffix);
        DWORD error = CopyFlushed(LongPath(installed), temporary);
        if (error == ERROR_SUCCESS &&
            !MoveFileExW(temporary.c_str(), LongPath(keptPath).c_str(), MOVEFILE_WRITE_THROUGH)) {
            error = GetLastError();
        }
        if (error != ERROR_SUCCESS) {
            DeleteFileW(temporary.c_str());
            report.Failures.push_back(Failed(entry.Name, "cannot be kept for a rollback", error));
            continue;
        }
        ++report.Kept;
    }
    return report;
}

RestoreReport RestoreKeptFiles(const KeptRelease& kept, const std::string& targetFolder, const std::string& keepFolder) {
    RestoreReport report;
    for (const KeptName& entry : kept.Names) {
        const std::string installed = targetFolder + entry.Name;
        if (entry.Replaced) {
            const std::string keptPath = keepFolder + entry.Name;
            if (!FileExists(keptPath)) continue;
            Count(InstallOne(entry.Name, keptPath, installed, report.Failures, Beside::LinkOrCopy), report.Restored,
                  report.ThroughBackup);
            continue;
        }
        if (!FileExists(installed)) continue;
        const std::wstring added = LongPath(installed);
        SetFileAttributesW(added.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (DeleteFileW(added.c_str())) {
            ++report.Removed;
        } else {
            report.Failures.push_back(Failed(entry.Name, "was added by the release and cannot be removed", GetLastError()));
        }
    }
    return report;
}
