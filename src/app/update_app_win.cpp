#include "app/update_app_win.h"

#include "app/command_line.h"
#include "app/runs_win.h"
#include "components/wide_text_win.h"

#include <commctrl.h>
#include <shellapi.h>

std::vector<std::string> GetCommandLineArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* vector = CommandLineToArgvW(GetCommandLineW(), &count);
    if (vector == nullptr) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(Narrow(vector[i]));
    LocalFree(vector);
    return arguments;
}

CUpdateApp::~CUpdateApp() {
    if (Mutex != nullptr && Mutex != INVALID_HANDLE_VALUE) {
        ReleaseMutex(Mutex);
        CloseHandle(Mutex);
    }
}

bool CUpdateApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    // A class framework would set its profile registry key here; this layer
    // keeps no profile settings, and the updater stores nothing of its own.

    Mutex = CreateMutexW(nullptr, TRUE, kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another updater runs: end at once, without reading the command line.
        if (Mutex != nullptr) {
            ReleaseMutex(Mutex);  // not owned by us; harmless, and keeps the handle's story simple
            CloseHandle(Mutex);
            Mutex = nullptr;
        }
        return false;
    }

    const RunRequest request = ParseCommandLine(GetCommandLineArguments());
    if (!request.Silent) {
        RunUpdateDialog(request.Type, request.Name);
    } else if (request.Type == 1) {
        RunSilentProgramUpdate();
    } else {
        RunSilentDataPackageUpdate(request.Type, request.Name);
    }
    return false;
}
