#include "settings/update_settings.h"

#include "config/config_file.h"
#include "settings/host_address.h"

#include <algorithm>
#include <optional>

namespace {
const std::string kNoKey;
constexpr char kStartWatchKey[] = "StartWatchSeconds";
constexpr char kRolledBackKey[] = "RolledBackReleases";
// Enough for every release a fleet could roll back between two fixed ones.
constexpr size_t kMaxRolledBackReleases = 32;

std::vector<std::string> SplitAtBlanks(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text + ' ') {
        if (c != ' ' && c != '\t') {
            word += c;
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    return words;
}

// Why a configured host text names no server that can be asked; nothing
// when it may name one. An operator's usual slips get words of their own.
std::optional<std::string> WhyUnusableHost(const std::string& host) {
    if (host.find("://") != std::string::npos || host.find('/') != std::string::npos) {
        return std::string("is a URL; it takes a host name or address alone");
    }
    if (host.find(':') != std::string::npos) return std::string("carries a port, which belongs in its port key");
    return std::nullopt;
}

S_UpdateSerivceAddr ReadServer(const CCryptConfigFile& config, const char* hostKey, const char* portKey,
                               std::vector<std::string>& problems) {
    S_UpdateSerivceAddr server;
    std::string host;
    config.ReadString("Update", hostKey, "", host);
    server.Port = static_cast<uint16_t>(config.ReadInteger("Update", portKey, 0) & 0xFFFF);
    if (host.empty()) return server;
    const std::string named = std::string(hostKey) + " \"" + host + "\" ";
    if (const auto why = WhyUnusableHost(host)) {
        problems.push_back(named + *why);
        return server;
    }
    // The look-up decides whether the server is usable; requests still go
    // to the configured name.
    if (ResolveHostAddress(host, server.Address)) {
        server.Host = host;
    } else {
        problems.push_back(named + "does not resolve to an address");
    }
    if (server.Port == 0) problems.push_back(named + "has no " + portKey);
    return server;
}
}  // namespace

CClientConfig::CClientConfig(const std::string& applicationFolder)
    : path_(applicationFolder + "Config.dat"), file_(path_, kNoKey) {
    ReadOwnKeys();
    UpdateSettings& settings = settings_;
    const CCryptConfigFile& config = file_;
    settings.Servers.push_back(ReadServer(config, "ServerIP", "ServerPort", settings.ServerProblems));
    S_UpdateSerivceAddr secondary = ReadServer(config, "ServerIP2", "ServerPort2", settings.ServerProblems);
    if (!secondary.Address.empty()) settings.Servers.push_back(std::move(secondary));

    const CCryptConfigFile user(applicationFolder + "UserConfig.dat", kNoKey);
    settings.UseProxy = user.ReadInteger("Server", "UseProxy", 1) != 0;
}

void CClientConfig::Reread() {
    file_.Initialize(path_, kNoKey);
    ReadOwnKeys();
}

void CClientConfig::ReadOwnKeys() {
    UpdateSettings& settings = settings_;
    const CCryptConfigFile& config = file_;
    settings.ConfigState = config.State();
    config.ReadString("Update", "Version", "", settings.Version);
    config.ReadString("Update", "Region", "", settings.Region);
    config.ReadString("Server", "WebSiteURL", "", settings.WebSiteURL);
    config.ReadString("Update", "ReleaseKey", "", settings.ReleaseKey);
    settings.NewestPublished = ReadNewestPublished(config);
    config.ReadString("Update", "InstallId", "", settings.InstallId);
    // A negative value turns the watch off, as 0 does.
    settings.StartWatchSeconds =
        static_cast<uint32_t>(std::max(config.ReadInteger("Update", kStartWatchKey, static_cast<int32_t>(kDefaultStartWatchSeconds)), 0));
    std::string rolledBack;
    config.ReadString("Update", kRolledBackKey, "", rolledBack);
    settings.RolledBackReleases = SplitAtBlanks(rolledBack);
}

Status CClientConfig::WriteVersion(const std::string& version) {
    Status written = file_.Write("Update", "Version", version);
    if (written) settings_.Version = version;
    return written;
}

NewestPublishedWrite CClientConfig::WriteNewestPublished(int32_t type, UtcTime time) {
    const NewestPublishedWrite written = ::WriteNewestPublished(file_, type, time);
    if (written == NewestPublishedWrite::Written) settings_.NewestPublished[type] = time;
    return written;
}

Status CClientConfig::WriteInstallId(const std::string& id) {
    Status written = file_.Write("Update", "InstallId", id);
    if (written) settings_.InstallId = id;
    return written;
}

Status CClientConfig::WriteRollback(const std::string& version, const std::string& releaseId) {
    std::vector<std::string> releases{releaseId};
    for (const std::string& earlier : settings_.RolledBackReleases) {
        if (earlier != releaseId && releases.size() < kMaxRolledBackReleases) releases.push_back(earlier);
    }
    std::string list;
    for (const std::string& release : releases) list += (list.empty() ? "" : " ") + release;
    Status written = file_.Write({{"Update", "Version", version}, {"Update", kRolledBackKey, list}});
    if (written) {
        settings_.Version = version;
        settings_.RolledBackReleases = std::move(releases);
    }
    return written;
}

bool UpdateSettings::IsRolledBack(const std::string& releaseId) const {
    return std::find(RolledBackReleases.begin(), RolledBackReleases.end(), releaseId) != RolledBackReleases.end();
}

UpdateSettings ReadUpdateSettings(const std::string& applicationFolder) {
    return CClientConfig(applicationFolder).Settings();
}
