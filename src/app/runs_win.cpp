#include "app/runs_win.h"

#include "engine/silent_updater_win.h"

void RunSilentProgramUpdate() {
    CSilentUpdater updater;
    updater.InitProgram(1, "Program");
    updater.RunProgramUpdate();
}

void RunSilentDataPackageUpdate(int32_t type, const std::string& name) {
    CSilentUpdater updater;
    updater.InitDataPackage(type, name);
    updater.RunDataPackageUpdate();
}

// The interactive dialog is wired in when it lands; until then the run does nothing.
void RunUpdateDialog(int32_t, const std::string&) {}
