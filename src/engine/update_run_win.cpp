#include "engine/update_run_win.h"

#include "base/directory_ex.h"
#include "base/file_io.h"
#include "base/hex_text.h"
#include "base/long_path_win.h"
#include "base/path_info.h"
#include "config/config_file.h"
#include "crypto/md5_digest.h"
#include "engine/download_files_win.h"
#include "engine/install_marker.h"
#include "engine/install_win.h"
#include "manifest/manifest.h"
#include "manifest/version_compare.h"
#include "settings/register_install_win.h"
#include "settings/update_record.h"

#include <windows.h>

namespace {
constexpr char kPackageManifest[] = "config.ini";
constexpr size_t kMaxManifestBytes = 64u << 20;

std::string Md5Of(std::string_view bytes) {
    Md5Digest digest;
    digest.Update(bytes.data(), bytes.size());
    const auto value = digest.Finish();
    return LowerHex(value.data(), value.size());
}

std::string ServerList(const std::vector<S_UpdateSerivceAddr>& servers) {
    std::string text;
    for (const S_UpdateSerivceAddr& server : servers) {
        if (!text.empty()) text += ", ";
        text += (server.Address.empty() ? std::string("(none)") : server.Address) + ":" + std::to_string(server.Port);
    }
    return text;
}

const char* StateOf(CryptConfigState state) {
    return state == CryptConfigState::Corrupt ? "corrupt (its tag does not verify)" : "unreadable";
}

// The changed files of a manifest against the installed ones, by its layout.
std::vector<S_UpdateFileInfo> ListChangedFiles(const CConfigFile& manifest, ManifestLayout layout,
                                               const std::string& targetFolder, const UpdateSettings& settings) {
    std::vector<S_UpdateFileInfo> changed;
    if (layout == ManifestLayout::Program) {
        CompareManifest(manifest, S_UpdateCheckInfo(targetFolder, settings.Version, settings.Region), changed);
    } else {
        BuildPackageFileList(manifest, targetFolder, changed);
    }
    return changed;
}

// Every file section that a manifest lists, whatever is installed.
std::vector<std::string> ListedNames(const CConfigFile& manifest, ManifestLayout layout) {
    std::vector<std::string> names;
    if (layout == ManifestLayout::Program) {
        manifest.ReadSection("FILES", names);
    } else {
        manifest.ReadSections(names);
    }
    return names;
}
}  // namespace

CUpdateRun::CUpdateRun(RunProfile profile, UpdateSettings settings)
    : profile_(std::move(profile)),
      settings_(std::move(settings)),
      log_(RunLogPath(profile_.ApplicationFolder), profile_.RunKind),
      attempts_(log_),
      transfer_(std::make_unique<CQIRAUpdateIntf>(settings_.Servers, settings_.UseProxy)) {
    transfer_->SetAttemptObserver(attempts_.Observer());
}

CUpdateRun::~CUpdateRun() = default;

CheckResult CUpdateRun::Check() {
    signature_.reset();
    header_ = {};
    changed_.clear();
    toFetch_.clear();
    log_.Write("start: installed version \"" + settings_.Version + "\", region \"" + settings_.Region +
               "\", servers " + ServerList(settings_.Servers) + (settings_.UseProxy ? ", the user's proxy" : ""));
    if (!HasUsableFolders(profile_)) {
        log_.Write("refused: the package name \"" + profile_.Name + "\" is not one plain folder name");
        outcome_ = RunOutcome::Refused;
        return CheckResult::Refused;
    }
    if (!settings_.IsConfigUsable()) {
        log_.Write(std::string("Config.dat is ") + StateOf(settings_.ConfigState) + ": its servers and version are unknown");
        outcome_ = RunOutcome::LocalFilesUnusable;
        return CheckResult::LocalFilesUnusable;
    }

    const CleanupReport cleanup = CleanUpAfterEarlierInstalls(profile_.ApplicationFolder);
    if (cleanup.BackupsRemoved + cleanup.BackupsRestored + cleanup.TemporariesRemoved > 0) {
        log_.Write("earlier installs: " + std::to_string(cleanup.BackupsRemoved) + " backups removed, " +
                   std::to_string(cleanup.BackupsRestored) + " moved back to their missing files, " +
                   std::to_string(cleanup.TemporariesRemoved) + " temporary copies removed");
    }
    for (const std::string& failure : cleanup.Failures) log_.Write("earlier installs: " + failure);
    FinishInterruptedInstall();

    if (!CDirectoryEx::CreateMultipleDirectory(profile_.StagingFolder)) {
        log_.Write("the staging folder " + profile_.StagingFolder + " cannot be made (a file where a folder must be?)");
        outcome_ = RunOutcome::LocalFilesUnusable;
        return CheckResult::LocalFilesUnusable;
    }
    const std::string manifestPath = profile_.StagingFolder + profile_.ManifestFileName;
    if (DownloadNamedFile(profile_.ManifestFileName, *transfer_, static_cast<uint32_t>(profile_.Type),
                          profile_.StagingFolder) != DownloadResult::Fetched) {
        log_.Write("the manifest " + profile_.ManifestFileName + " could not be fetched from any server");
        outcome_ = RunOutcome::NoServer;
        return CheckResult::ManifestNotFetched;
    }
    std::string bytes;
    if (ReadWholeFile(manifestPath, kMaxManifestBytes, bytes) != FileReadStatus::Ok) bytes.clear();
    if (!settings_.ReleaseKey.empty()) {
        signature_ = FetchAndCheckSignature(bytes);
        if (*signature_ != SignatureCheck::Verified) {
            log_.Write("refused: " + profile_.ManifestFileName + ": " + DescribeSignatureCheck(*signature_) +
                       ": nothing else is fetched");
            outcome_ = RunOutcome::Refused;
            RemoveStagingFolder();
            return CheckResult::Refused;
        }
        log_.Write(profile_.ManifestFileName + ": signature verified with the release key");
    }
    manifestMD5_ = Md5Of(bytes);
    const CConfigFile manifest(ConfigDocument::Parse(bytes));
    if (profile_.Layout == ManifestLayout::Program) header_ = ReadManifestHeader(manifest);
    changed_ = ListChangedFiles(manifest, profile_.Layout, profile_.TargetFolder, settings_);
    toFetch_ = SelectFilesToFetch(changed_, profile_.StagingFolder);
    log_.Write("manifest " + profile_.ManifestFileName + " fetched (" + std::to_string(bytes.size()) + " bytes)" +
               (profile_.Layout == ManifestLayout::Program
                    ? ", release \"" + header_.Version + "\" region \"" + header_.Region + "\"" +
                          (header_.Unconditional ? ", forced" : "")
                    : std::string()) +
               ": " + std::to_string(changed_.size()) + " files differ, " + std::to_string(toFetch_.size()) +
               " to fetch");
    if (!changed_.empty()) return CheckResult::UpdateDue;
    RecordCurrentFiles();
    return CheckResult::UpToDate;
}

// Through the same transfer as the manifest, so the server that gave the
// manifest is asked first.
SignatureCheck CUpdateRun::FetchAndCheckSignature(std::string_view manifest) {
    const std::string name = profile_.ManifestFileName + kSignatureSuffix;
    const std::string path = profile_.StagingFolder + name;
    const bool fetched = DownloadNamedFile(name, *transfer_, static_cast<uint32_t>(profile_.Type),
                                           profile_.StagingFolder) == DownloadResult::Fetched;
    // A signature staged by an earlier run must not stand in for one that
    // the server does not give.
    return CheckFetchedSignature(manifest, fetched ? path : std::string(), settings_.ReleaseKey);
}

// A release due with a greater version whose files are all in place (an
// install whose record was lost, or that happened by other means) is an
// installed release: without its record the version would never catch up
// and every run would compare the whole tree again.
void CUpdateRun::RecordCurrentFiles() {
    if (profile_.Layout != ManifestLayout::Program || profile_.Version == VersionRecord::Never ||
        !IsVersionGreater(header_.Version, settings_.Version)) {
        return;
    }
    log_.Write("every file of release \"" + header_.Version + "\" is in place already: recording it");
    outcome_ = Record(ThisInstall(), true) ? RunOutcome::Updated : RunOutcome::Incomplete;
}

bool CUpdateRun::FetchFiles() {
    const uint64_t bytesBefore = attempts_.BytesReceived();
    const bool fetched = DownloadFiles(toFetch_, *transfer_, static_cast<uint32_t>(profile_.Type),
                                       profile_.StagingFolder) == DownloadResult::Fetched;
    const std::string travelled = std::to_string(attempts_.BytesReceived() - bytesBefore) + " bytes received";
    if (fetched) {
        log_.Write("fetched " + std::to_string(toFetch_.size()) + " files: " + travelled);
        return true;
    }
    log_.Write("a file could not be fetched from any server (" + travelled + "): nothing is installed");
    outcome_ = RunOutcome::NoServer;
    return false;
}

// The release this run checked, and how the profile records it.
InstallMarker CUpdateRun::ThisInstall() const {
    InstallMarker marker;
    marker.ManifestFileName = profile_.ManifestFileName;
    marker.ManifestMD5 = manifestMD5_;
    marker.Layout = profile_.Layout;
    marker.NewVersion = header_.Version;
    marker.OldVersion = settings_.Version;
    marker.Version = profile_.Version;
    marker.RecordSectionFormat = profile_.RecordSectionFormat;
    marker.CopiesPackageManifest = profile_.CopiesPackageManifest;
    return marker;
}

InstallResult CUpdateRun::Install(const std::function<void()>& beforeReplacing) {
    return InstallAndRecord(changed_, ThisInstall(), beforeReplacing);
}

InstallResult CUpdateRun::InstallAndRecord(const std::vector<S_UpdateFileInfo>& files, const InstallMarker& marker,
                                           const std::function<void()>& beforeReplacing) {
    // A file that arrived damaged, or a staged copy changed since the check,
    // must not be installed: then nothing is.
    if (const auto invalid = FindInvalidStagedFile(files, profile_.StagingFolder)) {
        log_.Write("refused: the staged " + files[*invalid].FileName +
                   " is not the file the manifest lists (size or digest): nothing is installed");
        outcome_ = RunOutcome::Refused;
        return InstallResult::StagedFilesInvalid;
    }
    log_.Write("verified " + std::to_string(files.size()) + " staged files");
    if (beforeReplacing) beforeReplacing();

    const std::string markerPath = InstallMarkerPath(profile_.StagingFolder);
    if (!WriteInstallMarker(markerPath, marker)) {
        log_.Write("the install cannot be started: " + markerPath + " cannot be written");
        Record(marker, false);
        outcome_ = RunOutcome::Incomplete;
        return InstallResult::Incomplete;
    }
    const InstallReport report = InstallStagedFiles(files, profile_.StagingFolder, profile_.TargetFolder);
    log_.Write("installed " + std::to_string(report.Replaced) + " of " + std::to_string(files.size()) + " files (" +
               std::to_string(report.ThroughBackup) + " in use, moved aside to .bak)");
    for (const std::string& failure : report.Failures) log_.Write("not installed: " + failure);
    bool complete = report.Complete();
    if (complete && marker.CopiesPackageManifest) {
        // The package's own record of its release: replaced only when every
        // file of that release is in place, so a partial install is retried.
        if (!CopyFileW(LongPath(profile_.StagingFolder + kPackageManifest).c_str(),
                       LongPath(profile_.TargetFolder + kPackageManifest).c_str(), FALSE)) {
            log_.Write("the package's config.ini could not be replaced (error " + std::to_string(GetLastError()) + ")");
        }
    }
    const bool recordsVersion = complete && marker.Version != VersionRecord::Never;
    complete = Record(marker, complete);
    RemoveFile(markerPath);
    if (!complete) {
        outcome_ = RunOutcome::Incomplete;
    } else if (report.Replaced > 0 || recordsVersion) {
        outcome_ = RunOutcome::Updated;
    }
    return complete ? InstallResult::Installed : InstallResult::Incomplete;
}

// The new version is claimed only when every file is in place and the
// version itself could be written; otherwise the record says the install
// did not succeed and the next run compares against the old version.
bool CUpdateRun::Record(const InstallMarker& marker, bool complete) {
    bool succeeded = complete;
    if (complete && marker.Version != VersionRecord::Never) {
        if (marker.Version == VersionRecord::Always || IsVersionGreater(marker.NewVersion, marker.OldVersion)) {
            if (WriteConfiguredVersion(profile_.ApplicationFolder, marker.NewVersion)) {
                log_.Write("Config.dat: version \"" + marker.NewVersion + "\" recorded");
            } else {
                log_.Write("Config.dat cannot be written: the version stays \"" + marker.OldVersion + "\"");
                succeeded = false;
            }
        }
        if (succeeded && !RegisterInstall(profile_.ApplicationFolder, marker.NewVersion)) {
            log_.Write("registry: the install key is missing or not writable; nothing written there");
        }
    }
    if (!marker.RecordSectionFormat.empty()) {
        if (!WriteUpdateRecord(profile_.ApplicationFolder, marker.RecordSectionFormat, marker.NewVersion,
                               marker.OldVersion, succeeded)) {
            log_.Write("UpdateRecord.dat cannot be written");
        }
    }
    return succeeded;
}

// An install that a crash cut short is finished from the staged copies
// before anything else, so that no server is needed to repair it: the
// marker names the staged manifest it came from, and the files that manifest
// lists are put in place wherever the installed copy is not yet the new one.
void CUpdateRun::FinishInterruptedInstall() {
    const std::string markerPath = InstallMarkerPath(profile_.StagingFolder);
    if (!FileExists(markerPath)) return;
    const std::optional<InstallMarker> marker = ReadInstallMarker(markerPath);
    std::string bytes;
    const bool sameManifest =
        marker && ReadWholeFile(profile_.StagingFolder + marker->ManifestFileName, kMaxManifestBytes, bytes) ==
                      FileReadStatus::Ok && Md5Of(bytes) == marker->ManifestMD5;
    if (!sameManifest) {
        log_.Write("an interrupted install cannot be finished: its staged manifest is gone or changed");
        RemoveFile(markerPath);
        return;
    }
    log_.Write("finishing the install of release \"" + marker->NewVersion + "\" that was cut short");
    const CConfigFile manifest(ConfigDocument::Parse(bytes));
    std::vector<S_UpdateFileInfo> staged;
    AppendChangedFiles(manifest, ListedNames(manifest, marker->Layout), profile_.TargetFolder, staged);
    std::erase_if(staged,
                  [&](const S_UpdateFileInfo& file) { return !FileExists(profile_.StagingFolder + file.FileName); });
    const RunOutcome before = outcome_;
    if (InstallAndRecord(staged, *marker, {}) == InstallResult::StagedFilesInvalid) {
        // Nothing was replaced; the run goes on as if there had been no marker.
        RemoveFile(markerPath);
        outcome_ = before;
    }
}

void CUpdateRun::RemoveStagingFolder() {
    if (!CDirectoryEx::DeleteDirectory(profile_.StagingFolder)) {
        log_.Write("the staging folder " + profile_.StagingFolder + " could not be removed entirely");
    }
}

RunOutcome CUpdateRun::Conclude() {
    if (!concluded_) {
        log_.Write(std::string("outcome: ") + DescribeOutcome(outcome_) + " (exit code " +
                   std::to_string(ExitCodeOf(outcome_)) + ")");
        concluded_ = true;
    }
    return outcome_;
}
