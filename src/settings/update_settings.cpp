#include "settings/update_settings.h"

#include "components/config_file.h"
#include "components/directory_ex.h"

namespace {
const std::string kNoKey;

S_UpdateSerivceAddr ReadServer(const CCryptConfigFile& config, const char* hostKey, const char* portKey) {
    S_UpdateSerivceAddr server;
    std::string host;
    config.ReadString("Update", hostKey, "", host);
    ResolveHostAddress(host, server.Address);
    server.Port = static_cast<uint16_t>(config.ReadInteger("Update", portKey, 0) & 0xFFFF);
    return server;
}
}  // namespace

void ReadUpdateSettingsFrom(const std::string& folder, std::string& region, std::vector<S_UpdateSerivceAddr>& servers,
                            std::string& version, bool& useProxy) {
    CCryptConfigFile config(folder + "Config.dat", kNoKey);
    config.ReadString("Update", "Version", "", version);
    config.ReadString("Update", "Region", "", region);

    servers.push_back(ReadServer(config, "ServerIP", "ServerPort"));
    S_UpdateSerivceAddr secondary = ReadServer(config, "ServerIP2", "ServerPort2");
    if (!secondary.Address.empty()) servers.push_back(std::move(secondary));

    config.Initialize(folder + "UserConfig.dat", kNoKey);
    useProxy = config.ReadInteger("Server", "UseProxy", 1) != 0;
}

void ReadUpdateSettings(std::string& region, std::vector<S_UpdateSerivceAddr>& servers, std::string& version,
                        bool& useProxy) {
    ReadUpdateSettingsFrom(CDirectoryEx::GetApplicationPath(), region, servers, version, useProxy);
}
