#pragma once
#include "framework/application_win.h"

#include <windows.h>

#include <string>
#include <vector>

// The updater's application object: takes the single-instance mutex, reads
// the command line and makes exactly one run.
class CUpdateApp : public CApplication {
public:
    static constexpr wchar_t kMutexName[] = L"WIN32.DURNUpdateWizard.Instance.Once";

    CUpdateApp() = default;
    ~CUpdateApp() override;

    bool InitInstance() override;

private:
    // Owned for the whole run, so that a second updater stays out until
    // this one has finished, its dialogs included.
    HANDLE Mutex = INVALID_HANDLE_VALUE;
};

// The process's arguments (program name skipped) as GBK texts.
std::vector<std::string> GetCommandLineArguments();
