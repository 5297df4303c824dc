#pragma once
// The one update run that the silent runs and the update dialog drive:
// check (clean up after earlier installs, read the settings, finish an
// install that a crash cut short, fetch the manifest once, parse it once,
// list the changed files and those still to fetch), fetch, install and
// record, each step written to the run log. What differs between the front
// ends is in RunProfile; when to ask the user, close or start the client
// and how to show progress stays with them.
//
// A failure ends the run with its reason as it happened (RunFailure); the
// outcome and exit code are decided from it in one place (run_outcome.h).
//
// A program install keeps the files it replaces (kept_release.h); the
// program it starts afterwards is watched, and a failed start rolls the
// release back and marks it not to be taken again (release_rollback_win.cpp).
#include "engine/attempt_log.h"
#include "engine/client_program_win.h"
#include "engine/download_files_win.h"
#include "engine/install_win.h"
#include "engine/run_log.h"
#include "engine/run_outcome.h"
#include "engine/run_profile.h"
#include "manifest/release_reader.h"
#include "manifest/release_signature.h"
#include "manifest/update_file_info.h"
#include "settings/update_settings.h"
#include "transfer/transfer_win.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CInstanceLock;
struct InstallMarker;
struct KeptRelease;

enum class CheckResult {
    Failed,     // see WhyFailed(): nothing was fetched but, perhaps, the manifest
    UpToDate,   // the manifest lists no changed file
    UpdateDue,  // ChangedFiles() is not empty
    NotYet,     // a release is due, but its rollout has not reached this installation: nothing to do
};

enum class InstallResult {
    Installed,           // every changed file is in place and the version recorded
    Incomplete,          // a file, or the version, could not be written; recorded as not succeeded
    StagedFilesInvalid,  // a staged file is missing or not the listed one: nothing was replaced
};

class CUpdateRun {
public:
    // The log goes to the run log of the profile's application folder.
    explicit CUpdateRun(RunProfile profile);
    ~CUpdateRun();
    CUpdateRun(const CUpdateRun&) = delete;
    CUpdateRun& operator=(const CUpdateRun&) = delete;

    const RunProfile& Profile() const { return profile_; }
    // Read by the check, after the clean-up, and following the run's own
    // writes; the defaults before.
    const UpdateSettings& Settings() const;
    CRunLog& Log() { return log_; }
    // For a transfer of the front end's own that continues this run: its
    // attempts go to this run's log. It must end before the run does.
    AttemptObserver TransferObserver() { return attempts_.Observer(); }

    // Cleans up after earlier installs (backups, temporary copies), reads
    // the settings, finishes an install cut short, fetches the manifest into
    // the staging folder and compares it with the installed files. A
    // release whose files are all in place already but whose greater
    // version is not recorded yet gets its record here.
    CheckResult Check();

    // How the last check judged the release statement beside the manifest;
    // nothing when no release key is set or no manifest was fetched.
    const std::optional<StatementVerdict>& ReleaseStatement() const { return statement_; }

    // After a check that fetched the manifest:
    const ManifestHeader& Header() const { return release_.Header; }  // the version and region: program layout only
    const std::vector<S_UpdateFileInfo>& ChangedFiles() const { return changed_; }
    // The changed files not already staged with their digest, in manifest order.
    const std::vector<S_UpdateFileInfo>& FilesToFetch() const { return toFetch_; }

    // Where FilesToFetch() go, the installed copies their patches apply to,
    // and the run's record of staged files checked, which the install reads.
    DownloadFolders FetchFolders();
    // Fetches FilesToFetch() on the calling thread, with no window.
    bool FetchFiles();
    // A fetch of the front end's own (the dialog's download thread) ended
    // without the files: the reason for the file `name`.
    void FetchFailed(const std::string& name, const Failure& why);

    // The servers, those that failed in this run last: for a download that
    // continues the run with a transfer of its own.
    std::vector<S_UpdateSerivceAddr> ServersInPreferredOrder() const;

    // Checks every staged file against the manifest, then (after
    // beforeReplacing, when given) replaces the installed files, copies a
    // data package's manifest and records the install as the profile says.
    InstallResult Install(const std::function<void()>& beforeReplacing = {});

    // Removes the staging folder with everything in it.
    void RemoveStagingFolder();

    // Starts the client program again after waitMs, when it is there.
    void RestartClient(uint32_t waitMs);
    // After RestartClient that followed a complete install of the program
    // in this run: watches the client for StartWatchSeconds, with the lock
    // (when given) released meanwhile. A failed start rolls the release back
    // under the lock, when the release is still the one installed, and
    // starts the previous release's client once.
    void WatchClientStart(CInstanceLock* lock);

    // The failure that ended the run so far, if one did.
    const std::optional<RunFailure>& WhyFailed() const { return failure_; }
    // How the run has gone so far.
    RunOutcome Outcome() const { return DecideOutcome(failure_, changedInstallation_, rolledBack_); }
    // Writes the outcome to the log once and returns it.
    RunOutcome Conclude();

private:
    // Logs "what: why" and ends the run with that failure.
    void Fail(RunStep step, const Failure& why, const std::string& what);
    bool PrepareStagingFolder();
    bool FetchManifest(std::string& bytes);
    std::vector<S_UpdateFileInfo> CompareInstalledFiles();
    bool TakesRollout();
    std::optional<std::string> InstallId();
    StatementVerdict FetchAndCheckStatement(std::string_view manifest, const S_UpdateSerivceAddr& server);
    std::optional<UtcTime> VerifiedPublication() const;
    void RememberPublished(const std::optional<UtcTime>& published);
    void NoteUnusablePatchEntries();
    InstallMarker ThisInstall() const;
    void FinishInterruptedInstall();
    InstallResult InstallAndRecord(const std::vector<S_UpdateFileInfo>& files, const InstallMarker& marker,
                                   const std::function<void()>& beforeReplacing);
    bool Record(const InstallMarker& marker, bool complete);
    void RecordCurrentFiles();
    // release_rollback_win.cpp: the kept previous release and its rollback.
    bool KeepPreviousRelease(const std::vector<S_UpdateFileInfo>& files, const InstallMarker& marker,
                             std::vector<FileFailure>& notKept);
    void MarkKeptReleaseInstalled(const InstallMarker& marker);
    bool SkipsRolledBackRelease();
    bool FinishInterruptedRollback();
    bool RollBack(KeptRelease kept);

    RunProfile profile_;
    std::unique_ptr<CClientConfig> config_;  // Config.dat, read once by the check
    const UpdateSettings beforeTheCheck_;
    CRunLog log_;
    CAttemptLog attempts_;
    std::unique_ptr<CQIRAUpdateIntf> transfer_;
    std::optional<StatementVerdict> statement_;
    std::string manifestMD5_;
    Release release_;  // the release the check read
    std::vector<S_UpdateFileInfo> changed_;
    std::vector<S_UpdateFileInfo> toFetch_;
    // The staged files this check found as listed or this run fetched so:
    // the install reads only those changed since.
    CCheckedStagedFiles checked_;
    std::optional<RunFailure> failure_;
    bool changedInstallation_ = false;
    // The release of an install cut short that this run finished.
    std::optional<std::string> finishedInstall_;
    // The program's install that this run completed, whose start is watched.
    bool watchesStart_ = false;
    std::optional<StartedClient> startedClient_;
    bool rolledBack_ = false;
    bool concluded_ = false;
};
