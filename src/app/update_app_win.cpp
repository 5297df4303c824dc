#include "app/update_app_win.h"

#include "app/command_line.h"
#include "app/runs_win.h"
#include "base/process_arguments_win.h"
#include "engine/run_outcome.h"

#include <commctrl.h>

bool CUpdateApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    // A class framework would set its profile registry key here; this layer
    // keeps no profile settings, and the updater stores nothing of its own.

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
    return false;
}
