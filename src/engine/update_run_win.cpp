#include "engine/update_run_win.h"

#include "base/directory_ex.h"
#include "base/file_io.h"
#include "base/path_info.h"
#include "crypto/md5_digest.h"
#include "engine/download_files_win.h"
#include "engine/install_marker.h"
#include "engine/install_win.h"
#include "engine/rollout_decision.h"
#include "engine/update_area.h"
#include "manifest/listed_patches.h"
#include "manifest/manifest.h"
#include "manifest/remembered_digests_file.h"
#include "settings/newest_published.h"
#include "settings/register_install_win.h"
#include "settings/update_record.h"

#include <windows.h>

#include <algorithm>
#include <chrono>

namespace {
std::string ServerList(const std::vector<S_UpdateSerivceAddr>& servers) {
    std::string text;
    for (const S_UpdateSerivceAddr& server : servers) {
        if (!text.empty()) text += ", ";
        text += server.Address.empty() ? "(none):" + std::to_string(server.Port) : ServerName(server);
    }
    return text;
}

const char* StateOf(CryptConfigState state) {
    switch (state) {
    case CryptConfigState::Corrupt: return "corrupt (its tag does not verify)";
    case CryptConfigState::NotText: return "not configuration text (saved as UTF-16?)";
    default: return "unreadable";
    }
}

// How a compare decided the installed files, and why a memory that was
// there was not used.
std::string DescribeRecall(const LoadedDigests& remembered) {
    const RecallCounts& counts = remembered.Memory.Counts();
    std::string line = "compared the installed files: " + std::to_string(counts.Remembered) +
                       " decided from remembered digests, " + std::to_string(counts.Read) + " read or missing";
    switch (remembered.State) {
    case RememberedDigestsState::Loaded:
        return line;
    case RememberedDigestsState::Missing:
        return line + " (no remembered digests yet)";
    default:
        return line + " (the remembered digests were " + DescribeRememberedDigestsState(remembered.State) +
               ": not used)";
    }
}

// Why a folder could not be made: a file standing where it or a folder on
// its way must be is a blocked folder; otherwise the system's reason.
Failure FolderFailure(const std::string& folder, DWORD error) {
    for (std::string path = WithoutTrailingSeparators(folder); !path.empty();
         path = WithoutTrailingSeparators(CDirectoryEx::GetFilePath(path))) {
        if (FileExists(path)) return Failure{FailureKind::FolderBlocked, 0, 0, path + " is a file"};
        if (DirectoryExists(path)) break;
    }
    return LocalFailure(error);
}
}  // namespace

CUpdateRun::CUpdateRun(RunProfile profile)
    : profile_(std::move(profile)),
      log_(CUpdateArea(profile_.ApplicationFolder).RunLogPath(), profile_.RunKind),
      attempts_(log_) {}

CUpdateRun::~CUpdateRun() = default;

const UpdateSettings& CUpdateRun::Settings() const { return config_ ? config_->Settings() : beforeTheCheck_; }

void CUpdateRun::Fail(RunStep step, const Failure& why, const std::string& what) {
    log_.Write(what + ": " + DescribeFailure(why));
    failure_ = RunFailure{step, why};
}

CheckResult CUpdateRun::Check() {
    statement_.reset();
    release_ = {};
    changed_.clear();
    toFetch_.clear();
    checked_.Clear();
    // A name that is refused touches nothing at all, not even old backups.
    if (!HasUsableFolders(profile_)) {
        Fail(RunStep::Check, Failure{FailureKind::BadRequest, 0, 0, "not one plain folder name the updater may use"},
             "refused: the package name \"" + profile_.Name + "\"");
        return CheckResult::Failed;
    }
    // Backups go first, whatever follows: they are the leftovers of earlier
    // runs, and a damaged Config.dat must not keep them forever.
    const CleanupReport cleanup = CleanUpAfterEarlierInstalls(profile_.ApplicationFolder);
    config_ = std::make_unique<CClientConfig>(profile_.ApplicationFolder);
    const UpdateSettings& settings = Settings();
    log_.Write("start: installed version \"" + settings.Version + "\", region \"" + settings.Region +
               "\", servers " + ServerList(settings.Servers) + (settings.UseProxy ? ", the user's proxy" : ""));
    if (cleanup.BackupsRemoved + cleanup.BackupsRestored + cleanup.TemporariesRemoved > 0) {
        log_.Write("earlier installs: " + std::to_string(cleanup.BackupsRemoved) + " backups removed, " +
                   std::to_string(cleanup.BackupsRestored) + " moved back to their missing files, " +
                   std::to_string(cleanup.TemporariesRemoved) + " temporary copies removed");
    }
    for (const std::string& problem : settings.ServerProblems) log_.Write("Config.dat: " + problem + ": not used");
    for (const FileFailure& failure : cleanup.Failures) {
        log_.Write("earlier installs: " + failure.Name + ": " + DescribeFailure(failure.Why));
    }
    if (!settings.IsConfigUsable()) {
        Fail(RunStep::Check, Failure{FailureKind::ConfigUnusable, 0, 0, StateOf(settings.ConfigState)},
             "Config.dat cannot be used, so its servers and version are unknown");
        return CheckResult::Failed;
    }
    // A key that cannot be read would refuse every release of every server:
    // the installation is at fault, not what any server sends.
    if (EcdsaPublicKey key; !settings.ReleaseKey.empty() && !ParseReleaseKey(settings.ReleaseKey, key)) {
        Fail(RunStep::Check, Failure{FailureKind::ConfigUnusable, 0, 0, "its ReleaseKey is no release key"},
             "Config.dat cannot be used, so no release can be trusted");
        return CheckResult::Failed;
    }
    // Nothing is installed over a rollback that is not finished.
    if (!FinishInterruptedRollback()) return CheckResult::Failed;
    FinishInterruptedInstall();
    if (!PrepareStagingFolder()) return CheckResult::Failed;

    transfer_ = std::make_unique<CQIRAUpdateIntf>(Settings().Servers, Settings().UseProxy);
    transfer_->SetAttemptObserver(attempts_.Observer());
    std::string bytes;
    if (!FetchManifest(bytes)) return CheckResult::Failed;
    if (statement_) log_.Write(profile_.ManifestFileName + kSignatureSuffix + ": " + DescribeStatementVerdict(*statement_));
    manifestMD5_ = Md5Hex(bytes);
    for (const SkippedName& skipped : release_.Skipped) {
        log_.Write("skipped: the listed name \"" + skipped.Name + "\" is " + skipped.Why);
    }
    const ManifestHeader& header = release_.Header;
    if (SkipsRolledBackRelease()) return CheckResult::UpToDate;
    changed_ = CompareInstalledFiles();
    toFetch_ = SelectFilesToFetch(changed_, profile_.StagingFolder, &checked_);
    log_.Write("manifest " + profile_.ManifestFileName + " fetched (" + std::to_string(bytes.size()) + " bytes)" +
               (profile_.Layout == ManifestLayout::Program
                    ? ", release \"" + header.Version + "\" region \"" + header.Region + "\"" +
                          (header.Unconditional ? ", forced" : "")
                    : std::string()) +
               ": " + std::to_string(changed_.size()) + " files differ, " + std::to_string(toFetch_.size()) +
               " to fetch");
    if (!changed_.empty() && !TakesRollout()) {
        // Nothing to do for now; a verified statement still counts as checked.
        changed_.clear();
        toFetch_.clear();
        if (!failure_) RememberPublished(VerifiedPublication());
        return CheckResult::NotYet;
    }
    NoteUnusablePatchEntries();
    if (!changed_.empty()) return CheckResult::UpdateDue;
    RecordCurrentFiles();
    if (!failure_) RememberPublished(VerifiedPublication());
    return CheckResult::UpToDate;
}

// What earlier compares of the folder learned spares reading the files it
// proves unchanged. It is a cache: one that cannot be used or saved costs
// time only, never the run.
std::vector<S_UpdateFileInfo> CUpdateRun::CompareInstalledFiles() {
    // A release that is not due compares no file and reads no memory.
    if (!IsDue(release_, Settings().Version, Settings().Region)) return {};
    const std::string memoryPath = CUpdateArea::RememberedDigestsPath(profile_.StagingFolder);
    LoadedDigests remembered = LoadRememberedDigests(memoryPath, profile_.TargetFolder);
    std::vector<S_UpdateFileInfo> changed;
    AppendChangedFiles(release_.Files, profile_.TargetFolder, changed, &remembered.Memory);
    log_.Write(DescribeRecall(remembered));
    if (remembered.Memory.IsChanged()) {
        if (const Status saved = SaveRememberedDigests(memoryPath, remembered.Memory); !saved) {
            log_.Write("the remembered digests " + memoryPath + " could not be saved, the next run reads more: " +
                       DescribeFailure(saved.Why()));
        }
    }
    return changed;
}

// Asked only of a release that is due and not in place: one this
// installation has is never taken back, whatever its rollout says now.
bool CUpdateRun::TakesRollout() {
    const ReleaseRollout& rollout = release_.Header.Rollout;
    const UtcTime now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    if (rollout.ShareAt(now) >= kEveryInstallation) return true;
    if (!rollout.Problem.empty()) log_.Write("manifest: " + rollout.Problem + ": read as a pause");
    const ManifestHeader& header = release_.Header;
    RolloutDecision decision;
    if (profile_.AskedByPerson) {
        decision = DecideForPerson(rollout, now);
    } else {
        const std::optional<std::string> id = InstallId();
        decision = DecideForInstallation(rollout, now,
                                         id ? RolloutPlace(*id, header.ReleaseId, profile_.Type) : std::nullopt);
    }
    log_.Write(DescribeRolloutDecision(header.Version.empty() ? header.ReleaseId : header.Version, rollout, decision));
    return decision.Taken;
}

// Made the first time a rollout is decided here and kept in Config.dat,
// outside UPDATE\, so that the installation keeps its places. One that
// cannot be saved gives no place at all: a new one each run would draw
// again until it fell within the share.
std::optional<std::string> CUpdateRun::InstallId() {
    const std::string& held = Settings().InstallId;
    if (IsInstallId(held)) return held;
    if (!held.empty()) log_.Write("Config.dat: InstallId is not 32 lower-case hex digits: a new one is made");
    const std::optional<std::string> made = MakeInstallId();
    if (!made) {
        log_.Write("no InstallId could be made: the system's random generator failed");
        return std::nullopt;
    }
    if (const Status saved = config_->WriteInstallId(*made); !saved) {
        log_.Write("Config.dat: a new InstallId could not be saved, so this installation has no place in a rollout: " +
                   DescribeFailure(saved.Why()));
        return std::nullopt;
    }
    log_.Write("Config.dat: a new InstallId saved");
    return made;
}

bool CUpdateRun::PrepareStagingFolder() {
    if (CDirectoryEx::CreateMultipleDirectory(profile_.StagingFolder)) return true;
    Fail(RunStep::Check, FolderFailure(profile_.StagingFolder, GetLastError()),
         "the staging folder " + profile_.StagingFolder + " cannot be made");
    return false;
}

// Into the staging folder, within the manifest's limit. What a server sends
// counts only as a manifest that is one (manifest_check.h) and, with a
// release key, whose statement from the same server verifies; otherwise the
// next server is asked, so that one mirror with a stale or half-synced
// release blocks nobody. Read and parsed once, on its arrival.
bool CUpdateRun::FetchManifest(std::string& bytes) {
    const auto check = [&](const std::string& path, const S_UpdateSerivceAddr& server) -> Status {
        std::string text;
        if (ReadWholeFile(path, kMaxManifestBytes, text) != FileReadStatus::Ok) {
            return LastLocalFailure("the fetched manifest cannot be read");
        }
        Release read;
        if (Status checked = ReadRelease(text, profile_.Layout, profile_.Type, read); !checked) return checked;
        if (!Settings().ReleaseKey.empty()) {
            statement_ = FetchAndCheckStatement(text, server);
            if (!statement_->IsVerified()) {
                return Failure{FailureKind::Signature, 0, 0, DescribeStatementVerdict(*statement_)};
            }
        }
        bytes = std::move(text);
        release_ = std::move(read);
        return {};
    };
    const FetchResult fetched = DownloadNamedFile(profile_.ManifestFileName, kMaxManifestBytes, *transfer_,
                                                  static_cast<uint32_t>(profile_.Type), profile_.StagingFolder, check);
    if (fetched.Fetched()) return true;
    if (fetched.Why.Kind == FailureKind::Signature) {
        Fail(RunStep::Check, fetched.Why,
             "refused: " + profile_.ManifestFileName + kSignatureSuffix + " (nothing else is fetched)");
        RemoveStagingFolder();
    } else {
        Fail(RunStep::Check, fetched.Why, "the manifest " + profile_.ManifestFileName + " could not be fetched");
    }
    return false;
}

// From the server that gave the manifest: another one's statement may be of
// another release.
StatementVerdict CUpdateRun::FetchAndCheckStatement(std::string_view manifest, const S_UpdateSerivceAddr& server) {
    const std::string name = profile_.ManifestFileName + kSignatureSuffix;
    CQIRAUpdateIntf sameServer({server}, Settings().UseProxy);
    sameServer.SetAttemptObserver(attempts_.Observer());
    const bool fetched = DownloadNamedFile(name, kMaxStatementBytes, sameServer, static_cast<uint32_t>(profile_.Type),
                                           profile_.StagingFolder)
                             .Fetched();
    const StatementExpectation expected{manifest, Settings().ReleaseKey, profile_.Type,
                                        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()),
                                        Settings().NewestPublishedFor(profile_.Type)};
    // A statement staged by an earlier run must not stand in for one that
    // the server does not give.
    return CheckFetchedStatement(fetched ? profile_.StagingFolder + name : std::string(), expected);
}

std::optional<UtcTime> CUpdateRun::VerifiedPublication() const {
    if (!statement_ || !statement_->IsVerified()) return std::nullopt;
    return statement_->Remember;
}

// A verified release that was installed, or found in place, sets how old a
// release of this target may be from now on; the rest of the run checks
// against it too. Not writing it costs only that protection until the next
// run: the install itself stands.
void CUpdateRun::RememberPublished(const std::optional<UtcTime>& published) {
    if (!published) return;
    const std::string what = "newest accepted publication time for " + FormatReleaseTarget(profile_.Type) + " \"" +
                             FormatUtcTime(*published) + "\"";
    switch (config_->WriteNewestPublished(profile_.Type, *published)) {
    case NewestPublishedWrite::Written:
        log_.Write("Config.dat: " + what + " recorded");
        break;
    case NewestPublishedWrite::AlreadyNewer:
        break;
    case NewestPublishedWrite::ConfigUnreadable:
    case NewestPublishedWrite::NotWritten:
        log_.Write("Config.dat: the " + what + " could not be written");
        break;
    }
}

// A release due with a greater version whose files are all in place (an
// install whose record was lost, or that happened by other means) is an
// installed release: without its record the version would never catch up
// and every run would compare the whole tree again.
void CUpdateRun::RecordCurrentFiles() {
    if (profile_.Layout != ManifestLayout::Program || profile_.Version == VersionRecord::Never ||
        !IsVersionGreater(release_.Header.Version, Settings().Version)) {
        return;
    }
    log_.Write("every file of release \"" + release_.Header.Version + "\" is in place already: recording it");
    if (Record(ThisInstall(), true)) changedInstallation_ = true;
}

// Entries that this updater cannot read are passed over, never a reason to
// refuse the release: a later publisher may list what it does not know.
void CUpdateRun::NoteUnusablePatchEntries() {
    for (const S_UpdateFileInfo& file : toFetch_) {
        for (const std::string& entry : file.Patches.Unusable) {
            log_.Write("passed over: \"" + entry + "\" in the " + kPatchKey + " of " + file.FileName +
                       " (not <base md5>:<bytes>, or a base listed before)");
        }
    }
}

DownloadFolders CUpdateRun::FetchFolders() { return {profile_.StagingFolder, profile_.TargetFolder, &checked_}; }

bool CUpdateRun::FetchFiles() {
    const uint64_t bytesBefore = attempts_.BytesReceived();
    const uint64_t requestsBefore = attempts_.Requests();
    const FetchResult fetched =
        DownloadFiles(toFetch_, *transfer_, static_cast<uint32_t>(profile_.Type), FetchFolders());
    const std::string travelled = std::to_string(attempts_.BytesReceived() - bytesBefore) + " bytes received in " +
                                  std::to_string(attempts_.Requests() - requestsBefore) + " requests";
    if (fetched.Fetched()) {
        log_.Write("fetched " + std::to_string(toFetch_.size()) + " files: " + travelled);
        return true;
    }
    Fail(RunStep::Fetch, fetched.Why,
         "the file " + toFetch_[fetched.FailedIndex].FileName + " could not be fetched (" + travelled +
             "), nothing is installed");
    return false;
}

void CUpdateRun::FetchFailed(const std::string& name, const Failure& why) {
    Fail(RunStep::Fetch, why, "the file " + name + " could not be fetched, nothing is installed");
}

std::vector<S_UpdateSerivceAddr> CUpdateRun::ServersInPreferredOrder() const {
    return transfer_ ? transfer_->ServersInPreferredOrder() : Settings().Servers;
}

// The release this run checked, and how the profile records it.
InstallMarker CUpdateRun::ThisInstall() const {
    InstallMarker marker;
    marker.ManifestFileName = profile_.ManifestFileName;
    marker.ManifestMD5 = manifestMD5_;
    marker.Layout = profile_.Layout;
    marker.NewVersion = release_.Header.Version;
    marker.ReleaseId = release_.Header.ReleaseId;
    marker.OldVersion = Settings().Version;
    marker.Version = profile_.Version;
    marker.RecordSectionFormat = profile_.RecordSectionFormat;
    marker.CopiesPackageManifest = profile_.CopiesPackageManifest;
    marker.Published = VerifiedPublication();
    return marker;
}

InstallResult CUpdateRun::Install(const std::function<void()>& beforeReplacing) {
    const InstallResult result = InstallAndRecord(changed_, ThisInstall(), beforeReplacing);
    watchesStart_ = result == InstallResult::Installed && profile_.IsProgram();
    return result;
}

InstallResult CUpdateRun::InstallAndRecord(const std::vector<S_UpdateFileInfo>& files, const InstallMarker& marker,
                                           const std::function<void()>& beforeReplacing) {
    // A file that arrived damaged, or a staged copy changed since the check,
    // must not be installed: then nothing is.
    if (const auto invalid = FindInvalidStagedFile(files, profile_.StagingFolder, &checked_)) {
        Fail(RunStep::Install, Failure{FailureKind::Mismatch, 0, 0, "its size or digest is not the one listed"},
             "refused: the staged " + files[*invalid].FileName + " is not the file the manifest lists, nothing is installed");
        return InstallResult::StagedFilesInvalid;
    }
    // A hand-written manifest may list a file with no size or digest: it
    // goes in, but nobody may read "verified" for it.
    const auto unchecked = std::count_if(files.begin(), files.end(),
                                         [](const S_UpdateFileInfo& file) { return !file.HasListedCheck(); });
    log_.Write("verified " + std::to_string(files.size() - static_cast<size_t>(unchecked)) + " staged files");
    if (beforeReplacing) beforeReplacing();

    const std::string markerPath = CUpdateArea::InstallMarkerPath(profile_.StagingFolder);
    // A marker already there is an install cut short, some of whose files
    // may be in place: only it can finish them without a server.
    const bool finishing = FileExists(markerPath);
    if (const Status written = WriteInstallMarker(markerPath, marker); !written) {
        Fail(RunStep::Install, written.Why(), "the install cannot be started: " + markerPath + " cannot be written");
        Record(marker, false);
        return InstallResult::Incomplete;
    }
    // A file whose installed copy cannot be kept for a rollback is not replaced.
    std::vector<FileFailure> notKept;
    if (profile_.IsProgram() && !KeepPreviousRelease(files, marker, notKept)) {
        Record(marker, false);
        if (!finishing) RemoveFile(markerPath);
        return InstallResult::Incomplete;
    }
    std::vector<S_UpdateFileInfo> replacing = files;
    std::erase_if(replacing, [&](const S_UpdateFileInfo& file) {
        return std::any_of(notKept.begin(), notKept.end(),
                           [&](const FileFailure& failure) { return failure.Name == file.FileName; });
    });
    InstallReport report = InstallStagedFiles(replacing, profile_.StagingFolder, profile_.TargetFolder);
    report.Failures.insert(report.Failures.end(), notKept.begin(), notKept.end());
    log_.Write("installed " + std::to_string(report.Replaced) + " of " + std::to_string(files.size()) + " files (" +
               std::to_string(report.ThroughBackup) + " in use, moved aside to .bak)");
    for (const FileFailure& failure : report.Failures) {
        log_.Write("not installed: " + failure.Name + ": " + DescribeFailure(failure.Why));
    }
    for (const S_UpdateFileInfo& file : files) {
        const bool installed = std::none_of(report.Failures.begin(), report.Failures.end(),
                                            [&](const FileFailure& failure) { return failure.Name == file.FileName; });
        if (!file.HasListedCheck() && installed) log_.Write("installed without a size or digest check: " + file.FileName);
    }
    if (report.Replaced > 0) changedInstallation_ = true;
    bool complete = report.Complete();
    if (!complete) {
        failure_ = RunFailure{RunStep::Install, report.Failures.front().Why};
    } else {
        // What an earlier install of this run could not finish is in place now.
        if (failure_ && failure_->Step == RunStep::Install) failure_.reset();
        if (marker.CopiesPackageManifest) {
            // The package's own record of its release: replaced only when
            // every file of that release is in place, so a partial install
            // is retried.
            if (!CopyFileW(LongPath(profile_.StagingFolder + kPackageManifestName).c_str(),
                           LongPath(profile_.TargetFolder + kPackageManifestName).c_str(), FALSE)) {
                log_.Write(std::string("the package's ") + kPackageManifestName +
                           " could not be replaced: " + DescribeFailure(LastLocalFailure()));
            }
        }
    }
    complete = Record(marker, complete);
    if (complete) RememberPublished(marker.Published);
    if (complete && profile_.IsProgram()) MarkKeptReleaseInstalled(marker);
    RemoveFile(markerPath);
    return complete ? InstallResult::Installed : InstallResult::Incomplete;
}

// The new version is claimed only when every file is in place and the
// version itself could be written; otherwise the record says the install
// did not succeed and the next run compares against the old version.
bool CUpdateRun::Record(const InstallMarker& marker, bool complete) {
    bool succeeded = complete;
    if (complete && marker.Version != VersionRecord::Never) {
        if (marker.Version == VersionRecord::Always || IsVersionGreater(marker.NewVersion, marker.OldVersion)) {
            if (const Status written = config_->WriteVersion(marker.NewVersion)) {
                log_.Write("Config.dat: version \"" + marker.NewVersion + "\" recorded");
                changedInstallation_ = true;
            } else {
                Fail(RunStep::Install, written.Why(),
                     "Config.dat cannot be written, the version stays \"" + marker.OldVersion + "\"");
                succeeded = false;
            }
        }
        if (succeeded) {
            if (const Status registered = RegisterInstall(profile_.ApplicationFolder, marker.NewVersion); !registered) {
                log_.Write("registry: nothing written: " + DescribeFailure(registered.Why()));
            }
        }
    }
    if (!marker.RecordSectionFormat.empty()) {
        if (const Status written = WriteUpdateRecord(profile_.ApplicationFolder, marker.RecordSectionFormat,
                                                     marker.NewVersion, marker.OldVersion, succeeded);
            !written) {
            log_.Write("UpdateRecord.dat cannot be written: " + DescribeFailure(written.Why()));
        }
    }
    return succeeded;
}

// An install that a crash cut short is finished from the staged copies
// before anything else, so that no server is needed to repair it: the
// marker names the staged manifest it came from, and the files that manifest
// lists are put in place wherever the installed copy is not yet the new one.
void CUpdateRun::FinishInterruptedInstall() {
    const std::string markerPath = CUpdateArea::InstallMarkerPath(profile_.StagingFolder);
    if (!FileExists(markerPath)) return;
    const std::optional<InstallMarker> marker = ReadInstallMarker(markerPath);
    std::string bytes;
    const bool sameManifest =
        marker && ReadWholeFile(profile_.StagingFolder + marker->ManifestFileName, kMaxManifestBytes, bytes) ==
                      FileReadStatus::Ok && Md5Hex(bytes) == marker->ManifestMD5;
    if (!sameManifest) {
        log_.Write("an interrupted install cannot be finished: its staged manifest is gone or changed");
        RemoveFile(markerPath);
        return;
    }
    Release release;
    if (const Status read = ReadRelease(bytes, marker->Layout, profile_.Type, release); !read) {
        log_.Write("an interrupted install cannot be finished: its staged manifest is no manifest: " +
                   DescribeFailure(read.Why()));
        RemoveFile(markerPath);
        return;
    }
    log_.Write("finishing the install of release \"" + marker->NewVersion + "\" that was cut short");
    std::vector<S_UpdateFileInfo> staged;
    AppendChangedFiles(release.Files, profile_.TargetFolder, staged);
    std::erase_if(staged,
                  [&](const S_UpdateFileInfo& file) { return !FileExists(profile_.StagingFolder + file.FileName); });
    const std::optional<RunFailure> before = failure_;
    switch (InstallAndRecord(staged, *marker, {})) {
    case InstallResult::StagedFilesInvalid:
        // Nothing was replaced; the run goes on as if there had been no marker.
        RemoveFile(markerPath);
        failure_ = before;
        break;
    case InstallResult::Installed:
        finishedInstall_ = marker->NewVersion;
        break;
    case InstallResult::Incomplete:
        break;
    }
}

void CUpdateRun::RemoveStagingFolder() {
    if (!CDirectoryEx::DeleteDirectory(profile_.StagingFolder)) {
        log_.Write("the staging folder " + profile_.StagingFolder + " could not be removed entirely");
    }
}

RunOutcome CUpdateRun::Conclude() {
    const RunOutcome outcome = Outcome();
    if (!concluded_) {
        // Whatever the check after it met, a finished install is news of its own.
        const std::string finished =
            !finishedInstall_ ? std::string()
            : profile_.Layout == ManifestLayout::Program
                ? "; the install of release \"" + *finishedInstall_ + "\" cut short before was finished"
                : "; the install cut short before was finished";
        log_.Write(std::string("outcome: ") + DescribeOutcome(outcome) + " (exit code " +
                   std::to_string(ExitCodeOf(outcome)) + ")" + finished);
        concluded_ = true;
    }
    return outcome;
}
