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
RunOutcome RunSilentProgramUpdate(CInstanceLock& lock) {
    CSilentUpdater updater;
    updater.InitProgram();
    updater.Notify = &ShowNotification;
    updater.Lock = &lock;
    return updater.RunProgramUpdate();
}

RunOutcome RunSilentDataPackageUpdate(int32_t type, const std::string& name) {
    CSilentUpdater updater;
    updater.InitDataPackage(type, name);
    return updater.RunDataPackageUpdate();
}

RunOutcome RunUpdateDialog(int32_t type, const std::string& name, CInstanceLock& lock) {
    CDlgUpdate dialog;
    dialog.Type = type;
    dialog.Name = name;
    dialog.DoModal();  // every way out of the dialog returns 1; the run tells how it went
    // With the window gone: the user is not kept waiting by the watch.
    dialog.WatchClientStart(lock);
    return dialog.Conclude();
}
}  // namespace

bool CUpdateApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    if (!lock_.TakeIfFree()) {
        // Another updater runs: end at once, without reading the command line.
        exitCode_ = ExitCodeOf(RunOutcome::AnotherInstance);
        return false;
    }

    const RunRequest request = ParseCommandLine(ProcessArguments());
    RunOutcome outcome = RunOutcome::NothingToDo;
    if (!request.Silent) {
        outcome = RunUpdateDialog(request.Type, request.Name, lock_);
    } else if (request.Type == 1) {
        outcome = RunSilentProgramUpdate(lock_);
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
