#pragma once
#include "engine/instance_lock_win.h"
#include "framework/application_win.h"

// The updater's application object: takes the single-instance mutex, reads
// the command line and makes exactly one run.
class CUpdateApp : public CApplication {
public:
    bool InitInstance() override;
    int ExitCode() const override { return exitCode_; }

private:
    // Held for the whole run, so that a second updater stays out until
    // this one has finished, its dialogs included (the watch of a started
    // program aside); released and closed when the application object goes.
    CInstanceLock lock_;
    int exitCode_ = 0;
};
