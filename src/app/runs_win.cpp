#include "app/runs_win.h"

#include "engine/silent_updater_win.h"
#include "ui/dlg_notify_win.h"
#include "ui/dlg_update_win.h"

namespace {
int ShowNotification(const std::string& currentVersion, const std::string& newVersion, const std::string& url) {
    CDlgNotify dialog;
    dialog.CurrentVersion = currentVersion;
    dialog.NewVersion = newVersion;
    dialog.WebSiteURL = url;
    return static_cast<int>(dialog.DoModal());
}
}  // namespace

void RunSilentProgramUpdate() {
    CSilentUpdater updater;
    updater.InitProgram();
    updater.Notify = &ShowNotification;
    updater.RunProgramUpdate();
}

void RunSilentDataPackageUpdate(int32_t type, const std::string& name) {
    CSilentUpdater updater;
    updater.InitDataPackage(type, name);
    updater.RunDataPackageUpdate();
}

void RunUpdateDialog(int32_t type, const std::string& name) {
    CDlgUpdate dialog;
    dialog.Type = type;
    dialog.Name = name;
    dialog.DoModal();  // every way out of the dialog ends the run alike
}
