// The previous release of the program, kept by every program install, and
// the rollback to it when the new release's program fails to start: the
// members of CUpdateRun that keep, watch and undo (update_run_win.h). The
// file steps are install_win.h's, the record of what is kept kept_release.h's.
#include "engine/update_run_win.h"

#include "base/directory_ex.h"
#include "base/file_io.h"
#include "base/path_info.h"
#include "engine/install_marker.h"
#include "engine/install_win.h"
#include "engine/instance_lock_win.h"
#include "engine/kept_release.h"
#include "engine/update_area.h"
#include "manifest/manifest.h"
#include "settings/register_install_win.h"
#include "settings/update_record.h"

#include <algorithm>

namespace {
std::string Quoted(const std::string& version) { return "\"" + version + "\""; }
}  // namespace

// Before the first installed file is replaced. Without its record nothing
// is installed (false); a file that cannot be kept is not replaced (it is
// in notKept), so that nothing is put in place that could not be rolled back.
bool CUpdateRun::KeepPreviousRelease(const std::vector<S_UpdateFileInfo>& files, const InstallMarker& marker,
                                     std::vector<FileFailure>& notKept) {
    const CUpdateArea area(profile_.ApplicationFolder);
    const std::string recordPath = area.KeptReleasePath();
    std::vector<std::string> names;
    for (const S_UpdateFileInfo& file : files) names.push_back(file.FileName);
    bool fresh = false;
    const KeptRelease kept = KeepForInstall(
        ReadKeptRelease(recordPath), marker.ReleaseId, marker.NewVersion, marker.OldVersion, names,
        [&](const std::string& name) { return FileExists(profile_.TargetFolder + name); }, fresh);
    const std::string cannot = "the install cannot be started: the release in place cannot be kept for a rollback";
    if (fresh) {
        // The record goes first: a folder without it is never read, and the
        // next keep empties it again.
        const Status removed = RemoveFile(recordPath);
        if (!removed) {
            Fail(RunStep::Install, removed.Why(), cannot + ": " + recordPath + " cannot be removed");
            return false;
        }
        if (!CDirectoryEx::DeleteDirectory(area.KeptFilesFolder())) {
            Fail(RunStep::Install, LastLocalFailure(), cannot + ": the files of the release before stay in " +
                                                           area.KeptFilesFolder());
            return false;
        }
    }
    if (const Status written = WriteKeptRelease(recordPath, kept); !written) {
        Fail(RunStep::Install, written.Why(), cannot + ": " + recordPath + " cannot be written");
        return false;
    }
    KeepReport report = KeepInstalledFiles(kept, profile_.TargetFolder, area.KeptFilesFolder());
    notKept = std::move(report.Failures);
    const auto added = std::count_if(kept.Names.begin(), kept.Names.end(),
                                     [](const KeptName& entry) { return !entry.Replaced; });
    log_.Write("kept for a rollback to " + Quoted(kept.OldVersion) + ": " + std::to_string(report.Kept) +
               " files about to be replaced (" + std::to_string(report.Linked) + " without a copy), " +
               std::to_string(kept.Names.size() - static_cast<size_t>(added)) + " replaced and " +
               std::to_string(added) + " added names in all");
    return true;
}

// The release in place and recorded may be rolled back from now on.
void CUpdateRun::MarkKeptReleaseInstalled(const InstallMarker& marker) {
    const std::string recordPath = CUpdateArea(profile_.ApplicationFolder).KeptReleasePath();
    std::optional<KeptRelease> kept = ReadKeptRelease(recordPath);
    if (!kept || kept->ReleaseId != marker.ReleaseId) return;
    kept->State = KeptState::Installed;
    kept->InstalledVersion = Settings().Version;
    if (const Status written = WriteKeptRelease(recordPath, *kept); !written) {
        log_.Write(recordPath + " cannot be written, release " + Quoted(marker.NewVersion) +
                   " cannot be rolled back: " + DescribeFailure(written.Why()));
    }
}

// A release rolled back once is never taken again; another one, even of
// the same version, has another identity and is.
bool CUpdateRun::SkipsRolledBackRelease() {
    const ManifestHeader& header = release_.Header;
    if (!profile_.IsProgram() || !IsDue(release_, Settings().Version, Settings().Region) ||
        !Settings().IsRolledBack(header.ReleaseId)) {
        return false;
    }
    log_.Write("manifest " + profile_.ManifestFileName + " fetched, release " + Quoted(header.Version) + " (" +
               header.ReleaseId + ") was rolled back after its program failed to start: not taken again");
    return true;
}

// In every run, a data package's too: the program is not left half rolled
// back until the next program run.
bool CUpdateRun::FinishInterruptedRollback() {
    const std::optional<KeptRelease> kept = ReadKeptRelease(CUpdateArea(profile_.ApplicationFolder).KeptReleasePath());
    if (!kept || kept->State != KeptState::RollingBack) return true;
    log_.Write("finishing the rollback of release " + Quoted(kept->NewVersion) + " that was cut short");
    return RollBack(*kept);
}

// Under the lock. Marked first, so that whatever stops it, the next run
// finishes it before anything else; every step can be done again.
bool CUpdateRun::RollBack(KeptRelease kept) {
    const std::string& programFolder = profile_.ApplicationFolder;
    const CUpdateArea area(programFolder);
    const std::string recordPath = area.KeptReleasePath();
    const std::string release = "release " + Quoted(kept.NewVersion);
    if (kept.State != KeptState::RollingBack) {
        kept.State = KeptState::RollingBack;
        kept.RecordSection = FreeRecordSection(programFolder, kDateTimeRecordSection);
        if (const Status written = WriteKeptRelease(recordPath, kept); !written) {
            Fail(RunStep::Install, written.Why(), "the rollback of " + release + " cannot be started: " + recordPath +
                                                      " cannot be written");
            return false;
        }
    }
    // The compares remembered the release's files: a cache, read afresh.
    RemoveFile(CUpdateArea::RememberedDigestsPath(area.StagingFolder(1, "")));
    const RestoreReport report = RestoreKeptFiles(kept, programFolder, area.KeptFilesFolder());
    for (const FileFailure& failure : report.Failures) {
        log_.Write("not restored: " + failure.Name + ": " + DescribeFailure(failure.Why));
    }
    changedInstallation_ = changedInstallation_ || report.Restored + report.Removed > 0;
    if (!report.Complete()) {
        Fail(RunStep::Install, report.Failures.front().Why,
             "the rollback of " + release + " is incomplete: the next run finishes it");
        return false;
    }
    log_.Write("rolled back " + release + " to " + Quoted(kept.OldVersion) + ": " + std::to_string(report.Restored) +
               " files restored (" + std::to_string(report.ThroughBackup) + " in use, moved aside to .bak), " +
               std::to_string(report.Removed) + " added files removed");
    if (const Status written = config_->WriteRollback(kept.OldVersion, kept.ReleaseId); !written) {
        Fail(RunStep::Install, written.Why(),
             "Config.dat cannot be written, the version stays " + Quoted(kept.NewVersion) + ": the next run finishes the rollback");
        return false;
    }
    log_.Write("Config.dat: version " + Quoted(kept.OldVersion) + " recorded, " + release + " (" + kept.ReleaseId +
               ") not to be taken again");
    if (const Status registered = RegisterInstall(programFolder, kept.OldVersion); !registered) {
        log_.Write("registry: nothing written: " + DescribeFailure(registered.Why()));
    }
    if (const Status written =
            WriteRollbackRecord(programFolder, kept.RecordSection, kept.NewVersion, kept.OldVersion);
        !written) {
        log_.Write("UpdateRecord.dat cannot be written: " + DescribeFailure(written.Why()));
    }
    // The kept files go first: a record without them finishes as a rollback
    // that has nothing left to restore.
    if (!CDirectoryEx::DeleteDirectory(area.KeptFilesFolder())) {
        log_.Write("the kept files in " + area.KeptFilesFolder() + " could not all be removed");
    }
    RemoveFile(recordPath);
    rolledBack_ = true;
    return true;
}

void CUpdateRun::RestartClient(uint32_t waitMs) {
    startedClient_ = StartClient(profile_.ApplicationFolder, waitMs);
}

void CUpdateRun::WatchClientStart(CInstanceLock* lock) {
    const std::optional<StartedClient> started = std::move(startedClient_);
    startedClient_.reset();
    if (!started || !watchesStart_) return;
    const std::string release = "release " + Quoted(release_.Header.Version);
    const uint32_t seconds = Settings().StartWatchSeconds;
    if (seconds == 0) {
        log_.Write("the start of the client of " + release + " is not watched: StartWatchSeconds is 0");
        return;
    }
    // Other updaters may run meanwhile: the program may start one at its start.
    if (lock) lock->Release();
    const StartWatch watch = WatchStart(*started, seconds);
    if (!watch.Failed()) {
        log_.Write("the client of " + release + " " + watch.Describe() +
                   (watch.How == StartWatch::End::Exited ? ": an end of its own, not a failed start" : ""));
        return;
    }
    log_.Write("the start of " + release + " failed: the client " + watch.Describe());
    if (lock) lock->Take();
    // What another run did while the lock was free decides: Config.dat and
    // the keep are read as they are now.
    if (config_) {
        config_->Reread();  // the servers are not looked up again while the user waits
    } else {
        config_ = std::make_unique<CClientConfig>(profile_.ApplicationFolder);
    }
    const std::optional<KeptRelease> kept = ReadKeptRelease(CUpdateArea(profile_.ApplicationFolder).KeptReleasePath());
    if (!kept || kept->State != KeptState::Installed || kept->ReleaseId != release_.Header.ReleaseId ||
        kept->InstalledVersion != Settings().Version) {
        log_.Write(release + " is no longer the one installed with its previous release kept: left as it is");
        return;
    }
    if (!RollBack(*kept)) return;
    // The previous release's client, once: however its start goes, there
    // is nothing further to roll back to.
    const std::optional<StartedClient> previous = StartClient(profile_.ApplicationFolder, 0);
    if (!previous) return;
    if (lock) lock->Release();
    const StartWatch again = WatchStart(*previous, seconds);
    log_.Write("the client of release " + Quoted(kept->OldVersion) + ", started again, " + again.Describe() +
               (again.Failed() ? ": it fails too; nothing further is rolled back" : ""));
}
