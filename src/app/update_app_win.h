#pragma once
#include "base/handles_win.h"
#include "framework/application_win.h"

// The updater's application object: takes the single-instance mutex, reads
// the command line and makes exactly one run.
class CUpdateApp : public CApplication {
public:
    static constexpr wchar_t kMutexName[] = L"WIN32.DURNUpdateWizard.Instance.Once";

    bool InitInstance() override;
    int ExitCode() const override { return exitCode_; }

private:
    // Owned for the whole run, so that a second updater stays out until
    // this one has finished, its dialogs included; released and closed
    // when the application object goes.
    UniqueOwnedMutex mutex_;
    int exitCode_ = 0;
};
