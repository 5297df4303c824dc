#include "engine/silent_updater_win.h"

#include "components/directory_ex.h"
#include "settings/update_settings.h"

#include <vector>

void CSilentUpdater::InitProgram(int32_t type, const std::string& name) {
    Init(Kind::Program, type, name, CDirectoryEx::GetApplicationPath());
}

void CSilentUpdater::InitDataPackage(int32_t type, const std::string& name) {
    Init(Kind::DataPackage, type, name, CDirectoryEx::GetApplicationPath());
}

void CSilentUpdater::InitProgram(int32_t type, const std::string& name, const std::string& applicationFolder) {
    Init(Kind::Program, type, name, applicationFolder);
}

void CSilentUpdater::InitDataPackage(int32_t type, const std::string& name, const std::string& applicationFolder) {
    Init(Kind::DataPackage, type, name, applicationFolder);
}

// Only computes: no folder or file is created, checked or deleted here.
void CSilentUpdater::Init(Kind kind, int32_t type, const std::string& name, const std::string& applicationFolder) {
    Type = type;
    Name = name;
    std::vector<S_UpdateSerivceAddr> servers;
    bool useProxy = true;
    ReadUpdateSettingsFrom(applicationFolder, LocalRegion, servers, LocalVersion, useProxy);
    Transfer = std::make_unique<CQIRAUpdateIntf>(servers, useProxy);

    ApplicationFolder = applicationFolder;
    TargetFolder = applicationFolder;
    StagingFolder = applicationFolder;
    if (kind == Kind::Program) {
        ManifestFileName = "UpdateConfig.ini";
        StagingFolder += "UPDATE\\Program\\";
    } else {
        ManifestFileName = "config.ini";
        TargetFolder += name + "\\";
        StagingFolder += "UPDATE\\" + name + "\\";
    }
}
