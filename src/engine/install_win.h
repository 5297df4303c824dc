#pragma once
// Putting staged files in place. Each file is replaced whole or not at all:
// the staged copy, flushed when it arrived, is moved over the installed
// file in one step (from a staging folder on another volume, through a
// flushed copy "<file>.updating" beside it). A file in use (a running
// program's image, a DLL it loaded) cannot be replaced but can be renamed:
// it is moved aside to "<file>.bak" first and the next run removes it.
//
// A program install keeps the files it replaces (KeepInstalledFiles, before
// the first is replaced), and RestoreKeptFiles undoes it: the same steps,
// backwards, so that at every moment each installed name holds a whole
// file, the old one or the new.
#include "base/failure.h"
#include "engine/kept_release.h"
#include "manifest/name_check.h"
#include "manifest/update_file_info.h"

#include <cstddef>
#include <string>
#include <vector>

// A file that a step could not handle, and why.
struct FileFailure {
    std::string Name;  // as the manifest lists it, or a path
    Failure Why;
};

struct InstallReport {
    size_t Replaced = 0;       // files that are the new ones now
    size_t ThroughBackup = 0;  // of those, files in use that went through ".bak"
    // Each file that is still the old one (or missing).
    std::vector<FileFailure> Failures;

    bool Complete() const { return Failures.empty(); }
};

// Installs stagingFolder + name over targetFolder + name for every file, in
// list order, creating missing folders; a failure does not stop the others.
// A file put in place leaves the staging folder.
InstallReport InstallStagedFiles(const std::vector<S_UpdateFileInfo>& files, const std::string& stagingFolder,
                                 const std::string& targetFolder);

struct CleanupReport {
    size_t BackupsRemoved = 0;    // ".bak" beside the file it was taken from
    size_t BackupsRestored = 0;   // ".bak" whose file was missing: moved back
    size_t TemporariesRemoved = 0;
    std::vector<FileFailure> Failures;  // by path
};

// What earlier installs left below applicationFolder (its staging area
// "UPDATE\" aside): a backup is removed only when the file it was taken
// from exists, and is otherwise moved back to that name, so an install cut
// short between its two moves loses nothing; temporary copies are removed.
CleanupReport CleanUpAfterEarlierInstalls(const std::string& applicationFolder);

struct KeepReport {
    size_t Kept = 0;    // installed files kept now (an earlier attempt's stay as they are)
    size_t Linked = 0;  // of those, kept as a second name of the same file, without a copy
    std::vector<FileFailure> Failures;

    bool Complete() const { return Failures.empty(); }
};

// For each name that kept notes as replaced and that keepFolder does not
// hold yet, a second name there for the installed file: a hard link where
// the volume allows (no byte is copied, and the install's move over the
// installed name leaves the old file to it), otherwise a flushed copy moved
// into place. Installed files are only read.
KeepReport KeepInstalledFiles(const KeptRelease& kept, const std::string& targetFolder, const std::string& keepFolder);

struct RestoreReport {
    size_t Restored = 0;       // kept files that have their installed names again
    size_t ThroughBackup = 0;  // of those, files in use that went through ".bak"
    size_t Removed = 0;        // added files that are gone
    std::vector<FileFailure> Failures;

    bool Complete() const { return Failures.empty(); }
};

// The undo of an install that KeepInstalledFiles prepared: each kept file
// takes its installed name again the way an install puts a file in place
// (whole or not at all, through ".bak" when in use), from a hard link of
// the kept file where the volume allows; each added file is removed. A
// replaced name with no kept file was never replaced and stays. The kept
// files stay too, so that a rollback cut short can be done again whole.
RestoreReport RestoreKeptFiles(const KeptRelease& kept, const std::string& targetFolder, const std::string& keepFolder);
