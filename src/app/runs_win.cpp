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
