#pragma once
// The silent runs: "-silent" updates the program's own files and may ask,
// with the new-version notification, whether the running client may be
// closed; "-silent -t:N -d:NAME" updates one data package with no window.
#include "engine/instance_lock_win.h"
#include "engine/update_run_win.h"

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

    // The program, or a data package, of the running program's folder or of
    // another application folder (ending with '\'). No folder or file is
    // touched, and the settings are read by the run.
    void InitProgram();
    void InitProgram(const std::string& applicationFolder);
    void InitDataPackage(int32_t type, const std::string& name);
    void InitDataPackage(int32_t type, const std::string& name, const std::string& applicationFolder);

    // How the run ended; its last line in the run log says the same.
    RunOutcome RunProgramUpdate();
    RunOutcome RunDataPackageUpdate();

    const CUpdateRun& Run() const { return *run_; }

    // How the program run asks the user; start-up sets the notification dialog.
    NotifyPrompt Notify;
    // How long the program run waits before starting the client again.
    uint32_t RestartDelayMs = 5000;
    // The lock the application holds, released while the program run
    // watches the client it started; none: nothing to release.
    CInstanceLock* Lock = nullptr;

private:
    std::unique_ptr<CUpdateRun> run_;
};
