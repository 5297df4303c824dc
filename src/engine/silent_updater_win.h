#pragma once
// The state of one silent run: which package, where it is installed and
// staged, the manifest's name, the installed version and region, and the
// transfer component that fetches from the update servers.
#include "components/transfer_win.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CSilentUpdater {
public:
    // Shows the new-version notification; returns IDYES (6) for "upgrade now".
    using NotifyPrompt =
        std::function<int(const std::string& currentVersion, const std::string& newVersion, const std::string& url)>;

    CSilentUpdater() = default;
    CSilentUpdater(const CSilentUpdater&) = delete;
    CSilentUpdater& operator=(const CSilentUpdater&) = delete;

    // The program: target is the application folder, staging "UPDATE\Program\",
    // manifest "UpdateConfig.ini".
    void InitProgram(int32_t type, const std::string& name);
    // A data package: target "<name>\", staging "UPDATE\<name>\", manifest "config.ini".
    void InitDataPackage(int32_t type, const std::string& name);
    // The same for an application folder other than the running program's.
    void InitProgram(int32_t type, const std::string& name, const std::string& applicationFolder);
    void InitDataPackage(int32_t type, const std::string& name, const std::string& applicationFolder);

    // False only when the manifest could not be fetched (or the run was refused).
    bool RunProgramUpdate();
    bool RunDataPackageUpdate();

    int32_t Type = 0;
    std::string Name;
    std::unique_ptr<CQIRAUpdateIntf> Transfer;
    std::string TargetFolder;
    std::string StagingFolder;
    std::string ApplicationFolder;
    std::string ManifestFileName;
    std::string LocalVersion;
    std::string LocalRegion;

    // How the program run asks the user; start-up sets the notification dialog.
    NotifyPrompt Notify;
    // How long the program run waits before starting the client again.
    uint32_t RestartDelayMs = 5000;

private:
    enum class Kind { Program, DataPackage };
    void Init(Kind kind, int32_t type, const std::string& name, const std::string& applicationFolder);
};
