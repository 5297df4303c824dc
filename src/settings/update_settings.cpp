#include "settings/update_settings.h"

#include "config/config_file.h"

namespace {
const std::string kNoKey;

S_UpdateSerivceAddr ReadServer(const CCryptConfigFile& config, const char* hostKey, const char* portKey) {
    S_UpdateSerivceAddr server;
    std::string host;
    config.ReadString("Update", hostKey, "", host);
    // The look-up decides whether the server is usable; requests still go
    // to the configured name.
    if (ResolveHostAddress(host, server.Address)) server.Host = host;
    server.Port = static_cast<uint16_t>(config.ReadInteger("Update", portKey, 0) & 0xFFFF);
    return server;
}
}  // namespace

UpdateSettings ReadUpdateSettings(const std::string& applicationFolder) {
    UpdateSettings settings;
    const CCryptConfigFile config(applicationFolder + "Config.dat", kNoKey);
    settings.ConfigState = config.State();
    config.ReadString("Update", "Version", "", settings.Version);
    config.ReadString("Update", "Region", "", settings.Region);
    config.ReadString("Server", "WebSiteURL", "", settings.WebSiteURL);
    config.ReadString("Update", "ReleaseKey", "", settings.ReleaseKey);
    settings.NewestPublished = ReadNewestPublished(config);

    settings.Servers.push_back(ReadServer(config, "ServerIP", "ServerPort"));
    S_UpdateSerivceAddr secondary = ReadServer(config, "ServerIP2", "ServerPort2");
    if (!secondary.Address.empty()) settings.Servers.push_back(std::move(secondary));

    const CCryptConfigFile user(applicationFolder + "UserConfig.dat", kNoKey);
    settings.UseProxy = user.ReadInteger("Server", "UseProxy", 1) != 0;
    return settings;
}
