#include "app/update_app_win.h"

#include "app/command_line.h"
#include "base/directory_ex.h"
#include "base/process_arguments_win.h"
#include "base/running_work.h"
#include "engine/run_log.h"
#include "engine/run_outcome.h"
#include "engine/update_area.h"
#include "engine/silent_updater_win.h"
#include "ui/dlg_notify_win.h"
#include "ui/dlg_update_win.h"

#include <commctrl.h>

#include <chrono>

namespace {
int ShowNotification(const std::string& currentVersion, const std::string& newVersion, const std::string& url) {
    CDlgNotify dialog;
    dialog.CurrentVersion = currentVersion;
    dialog.NewVersion = newVersion;
    dialog.WebSiteURL = url;
    return static_cast<int>(dialog.DoModal());
}

// How long the end of the process waits for work the run left behind.
constexpr std::chrono::seconds kEndWait{10};

// The three runs that one updater process can make; InitInstance picks one.
RunOutcome RunSilentProgramUpdate() {
    CSilentUpdater updater;
    updater.InitProgram();
    updater.Notify = &ShowNotification;
    return updater.RunProgramUpdate();
}

RunOutcome RunSilentDataPackageUpdate(int32_t type, const std::string& name) {
    CSilentUpdater updater;
    updater.InitDataPackage(type, name);
    return updater.RunDataPackageUpdate();
}

RunOutcome RunUpdateDialog(int32_t type, const std::string& name) {
    CDlgUpdate dialog;
    dialog.Type = type;
    dialog.Name = name;
    dialog.DoModal();  // every way out of the dialog returns 1; the run tells how it went
    return dialog.Conclude();
}
}  // namespace

bool CUpdateApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    const HANDLE mutex = CreateMutexW(nullptr, TRUE, kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another updater runs and owns it: end at once, without reading the
        // command line. The handle is ours to close, the mutex not ours to release.
        const UniqueHandle notOwned(mutex);
        exitCode_ = ExitCodeOf(RunOutcome::AnotherInstance);
        return false;
    }
    // Without a mutex at all (creation failed for another reason) the run
    // goes on unguarded.
    mutex_.reset(mutex);

    const RunRequest request = ParseCommandLine(ProcessArguments());
    RunOutcome outcome = RunOutcome::NothingToDo;
    if (!request.Silent) {
        outcome = RunUpdateDialog(request.Type, request.Name);
    } else if (request.Type == 1) {
        outcome = RunSilentProgramUpdate();
    } else {
        outcome = RunSilentDataPackageUpdate(request.Type, request.Name);
    }
    exitCode_ = ExitCodeOf(outcome);
    // Every thread of the run and every request it gave WinHTTP has ended
    // by now, as each waits for its own; a process that ended under one
    // would turn the outcome into a crash. What did not end is said, and
    // the process then ends anyway: the run's work is done.
    if (!WaitUntilNoWorkRuns(kEndWait)) {
        CRunLog(CUpdateArea(CDirectoryEx::GetApplicationPath()).RunLogPath(), "end")
            .Write(std::to_string(RunningWorkCount()) + " threads or WinHTTP requests of the run had not ended " +
                   std::to_string(kEndWait.count()) + " s after it; the process ends without them");
    }
    return false;
}
