#include "engine/update_run_win.h"

#include "base/directory_ex.h"
#include "base/file_io.h"
#include "base/long_path_win.h"
#include "config/crypt_config_store.h"
#include "engine/download_files_win.h"
#include "engine/install_win.h"
#include "manifest/manifest.h"
#include "manifest/version_compare.h"
#include "settings/register_install_win.h"
#include "settings/update_record.h"

#include <windows.h>

namespace {
constexpr char kPackageManifest[] = "config.ini";

std::vector<std::string> NamesOf(const std::vector<S_UpdateFileInfo>& files) {
    std::vector<std::string> names;
    names.reserve(files.size());
    for (const S_UpdateFileInfo& file : files) names.push_back(file.FileName);
    return names;
}

// The manifest as fetched, read once: its signature is checked over these
// bytes and they are parsed. A file that cannot be read has no bytes.
std::string ReadManifestBytes(const std::string& path) {
    std::string bytes;
    if (ReadWholeFile(path, kMaxConfigFileBytes, bytes) != FileReadStatus::Ok) bytes.clear();
    return bytes;
}
}  // namespace

CUpdateRun::CUpdateRun(RunSpec spec, UpdateSettings settings)
    : spec_(std::move(spec)),
      settings_(std::move(settings)),
      transfer_(std::make_unique<CQIRAUpdateIntf>(settings_.Servers, settings_.UseProxy)) {}

CheckResult CUpdateRun::Check() {
    if (!HasUsableFolders(spec_)) return CheckResult::UnusableFolders;
    DeleteLeftoverBackups(spec_.ApplicationFolder);

    signature_.reset();
    header_ = {};
    changed_.clear();
    toFetch_.clear();
    if (DownloadFiles({spec_.ManifestFileName}, *transfer_, static_cast<uint32_t>(spec_.Type), spec_.StagingFolder) !=
        DownloadResult::Fetched) {
        return CheckResult::ManifestNotFetched;
    }
    const std::string bytes = ReadManifestBytes(spec_.StagingFolder + spec_.ManifestFileName);
    if (!settings_.ReleaseKey.empty()) {
        signature_ = FetchAndCheckSignature(bytes);
        if (*signature_ != SignatureCheck::Verified) {
            RemoveStagingFolder();
            return CheckResult::Refused;
        }
    }
    const CConfigFile manifest(ConfigDocument::Parse(bytes));
    if (spec_.Layout == ManifestLayout::Program) {
        header_ = ReadManifestHeader(manifest);
        CompareManifest(manifest, S_UpdateCheckInfo(spec_.TargetFolder, settings_.Version, settings_.Region), changed_);
    } else {
        BuildPackageFileList(manifest, spec_.TargetFolder, changed_);
    }
    toFetch_ = SelectFilesToFetch(changed_, spec_.StagingFolder);
    return changed_.empty() ? CheckResult::UpToDate : CheckResult::UpdateDue;
}

// Through the same transfer as the manifest, so the server that gave the
// manifest is asked first.
SignatureCheck CUpdateRun::FetchAndCheckSignature(std::string_view manifest) {
    const std::string name = spec_.ManifestFileName + kSignatureSuffix;
    const std::string path = spec_.StagingFolder + name;
    const bool fetched = DownloadFiles({name}, *transfer_, static_cast<uint32_t>(spec_.Type), spec_.StagingFolder) ==
                         DownloadResult::Fetched;
    // A signature staged by an earlier run must not stand in for one that
    // the server does not give.
    return CheckFetchedSignature(manifest, fetched ? path : std::string(), settings_.ReleaseKey);
}

bool CUpdateRun::FetchFiles() {
    return DownloadFiles(NamesOf(toFetch_), *transfer_, static_cast<uint32_t>(spec_.Type), spec_.StagingFolder) ==
           DownloadResult::Fetched;
}

InstallResult CUpdateRun::Install(const std::function<void()>& beforeReplacing) {
    // A file that arrived damaged, or a staged copy changed since the check,
    // must not be installed: then nothing is.
    if (FindInvalidStagedFile(changed_, spec_.StagingFolder)) return InstallResult::StagedFilesInvalid;
    if (beforeReplacing) beforeReplacing();
    const bool complete = InstallStagedFiles(changed_, spec_.StagingFolder, spec_.TargetFolder);
    if (complete && spec_.CopiesPackageManifest) {
        // The package's own record of its release: replaced only when every
        // file of that release is in place, so a partial install is retried.
        CopyFileW(LongPath(spec_.StagingFolder + kPackageManifest).c_str(),
                  LongPath(spec_.TargetFolder + kPackageManifest).c_str(), FALSE);
    }
    Record(complete);
    return complete ? InstallResult::Installed : InstallResult::Incomplete;
}

// The new version is claimed only when every file is in place; otherwise
// the record says so and the next run compares against the old version.
void CUpdateRun::Record(bool complete) const {
    const std::string& newVersion = header_.Version;
    if (complete && spec_.Version != VersionRecord::Never) {
        if (spec_.Version == VersionRecord::Always || IsVersionGreater(newVersion, settings_.Version)) {
            WriteConfiguredVersion(spec_.ApplicationFolder, newVersion);
        }
        RegisterInstall(spec_.ApplicationFolder, newVersion);
    }
    if (!spec_.RecordSectionFormat.empty()) {
        WriteUpdateRecord(spec_.ApplicationFolder, spec_.RecordSectionFormat, newVersion, settings_.Version, complete);
    }
}

void CUpdateRun::RemoveStagingFolder() const { CDirectoryEx::DeleteDirectory(spec_.StagingFolder); }
