#pragma once
// The one update run that the silent runs and the update dialog drive:
// check (fetch the manifest once, parse it once, list the changed files and
// those still to fetch), fetch, install and record. What differs between the
// front ends is in RunSpec; when to ask the user, close or start the client
// and how to show progress stays with them.
#include "config/config_file.h"
#include "engine/run_spec.h"
#include "manifest/manifest_header.h"
#include "manifest/release_signature.h"
#include "manifest/update_file_info.h"
#include "settings/update_settings.h"
#include "transfer/transfer_win.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum class CheckResult {
    UnusableFolders,     // the package name is no plain folder name: nothing was touched
    ManifestNotFetched,  // no server gave the manifest
    Refused,             // a release key is set and the manifest's signature did not verify:
                         // nothing else was fetched, the staging folder is gone
    UpToDate,            // the manifest lists no changed file
    UpdateDue,           // ChangedFiles() is not empty
};

enum class InstallResult {
    Installed,           // every changed file is in place and recorded
    Incomplete,          // a file could not be replaced; recorded as not succeeded
    StagedFilesInvalid,  // a staged file is missing or not the listed one: nothing was replaced
};

class CUpdateRun {
public:
    CUpdateRun(RunSpec spec, UpdateSettings settings);
    CUpdateRun(const CUpdateRun&) = delete;
    CUpdateRun& operator=(const CUpdateRun&) = delete;

    const RunSpec& Spec() const { return spec_; }
    const UpdateSettings& Settings() const { return settings_; }

    // Clears the backups of earlier installs, fetches the manifest into the
    // staging folder and compares it with the installed files.
    CheckResult Check();

    // How the last check judged the manifest's signature, for the run log;
    // nothing when no release key is set or no manifest was fetched.
    const std::optional<SignatureCheck>& ReleaseSignature() const { return signature_; }

    // After a check that fetched the manifest:
    const ManifestHeader& Header() const { return header_; }  // program layout only
    const std::vector<S_UpdateFileInfo>& ChangedFiles() const { return changed_; }
    // The changed files not already staged with their digest, in manifest order.
    const std::vector<S_UpdateFileInfo>& FilesToFetch() const { return toFetch_; }

    // Fetches FilesToFetch() on the calling thread, with no window.
    bool FetchFiles();

    // Checks every staged file against the manifest, then (after
    // beforeReplacing, when given) replaces the installed files, copies a
    // data package's manifest and records the install as the spec says.
    InstallResult Install(const std::function<void()>& beforeReplacing = {});

    // Removes the staging folder with everything in it.
    void RemoveStagingFolder() const;

private:
    void Record(bool complete) const;
    SignatureCheck FetchAndCheckSignature(std::string_view manifest);

    RunSpec spec_;
    UpdateSettings settings_;
    std::unique_ptr<CQIRAUpdateIntf> transfer_;
    std::optional<SignatureCheck> signature_;
    ManifestHeader header_;
    std::vector<S_UpdateFileInfo> changed_;
    std::vector<S_UpdateFileInfo> toFetch_;
};
