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

// The manifest as fetched, parsed once; a file that cannot be read has no sections.
CConfigFile ReadManifest(const std::string& path) {
    std::string bytes;
    if (ReadWholeFile(path, kMaxConfigFileBytes, bytes) != FileReadStatus::Ok) bytes.clear();
    return CConfigFile(ConfigDocument::Parse(bytes));
}
}  // namespace

CUpdateRun::CUpdateRun(RunSpec spec, UpdateSettings settings)
    : spec_(std::move(spec)),
      settings_(std::move(settings)),
      transfer_(std::make_unique<CQIRAUpdateIntf>(settings_.Servers, settings_.UseProxy)) {}

CheckResult CUpdateRun::Check() {
    if (!HasUsableFolders(spec_)) return CheckResult::UnusableFolders;
    DeleteLeftoverBackups(spec_.ApplicationFolder);

    header_ = {};
    changed_.clear();
    toFetch_.clear();
    if (DownloadFiles({spec_.ManifestFileName}, *transfer_, static_cast<uint32_t>(spec_.Type), spec_.StagingFolder) !=
        DownloadResult::Fetched) {
        return CheckResult::ManifestNotFetched;
    }
    const CConfigFile manifest = ReadManifest(spec_.StagingFolder + spec_.ManifestFileName);
    if (spec_.Layout == ManifestLayout::Program) {
        header_ = ReadManifestHeader(manifest);
        CompareManifest(manifest, S_UpdateCheckInfo(spec_.TargetFolder, settings_.Version, settings_.Region), changed_);
    } else {
        BuildPackageFileList(manifest, spec_.TargetFolder, changed_);
    }
    toFetch_ = SelectFilesToFetch(changed_, spec_.StagingFolder);
    return changed_.empty() ? CheckResult::UpToDate : CheckResult::UpdateDue;
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
