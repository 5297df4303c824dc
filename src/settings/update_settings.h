#pragma once
// What an update run takes from the client's own configuration:
// "Config.dat" and "UserConfig.dat" in the application folder, each read once.
#include "base/failure.h"
#include "config/config_file.h"
#include "config/crypt_config_store.h"
#include "settings/newest_published.h"
#include "transfer/server_address.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How long the client started after an install is watched, unless Config.dat says.
inline constexpr uint32_t kDefaultStartWatchSeconds = 60;

struct UpdateSettings {
    std::string Version;  // [Update] Version: the installed release
    std::string Region;   // [Update] Region
    // The primary server always (its address may be empty), the secondary
    // only when it has an address; one with an address carries its configured host text.
    std::vector<S_UpdateSerivceAddr> Servers;
    bool UseProxy = true;     // UserConfig.dat [Server] UseProxy, non-zero
    std::string WebSiteURL;   // [Server] WebSiteURL, for the notification's link
    // [Update] ReleaseKey: the publisher's public key (one line of base64).
    // When set, only manifests whose signature verifies with it are trusted.
    std::string ReleaseKey;
    // [Update] NewestPublished.*: per target, the publication time of the
    // newest signed release accepted; an older one is a replay.
    NewestPublishedTimes NewestPublished;
    // [Update] InstallId as read: this installation's identity in a rollout
    // (engine/rollout_decision.h says what a usable one is).
    std::string InstallId;
    // [Update] StartWatchSeconds: how long the program started after an
    // install is watched for a failed start; 0 turns the watch off.
    uint32_t StartWatchSeconds = kDefaultStartWatchSeconds;
    // [Update] RolledBackReleases: the identities of the program releases
    // rolled back after their program failed to start, newest first,
    // separated by blanks; none of them is taken again.
    std::vector<std::string> RolledBackReleases;
    // Config.dat as it was read. Corrupt or unreadable, its servers and
    // version are unknown: no update can be checked against it.
    CryptConfigState ConfigState = CryptConfigState::Missing;

    // What makes a configured server unusable, one sentence each ("ServerIP
    // \"http://host/\" is a URL ..."), for the run log.
    std::vector<std::string> ServerProblems;

    std::optional<UtcTime> NewestPublishedFor(int32_t type) const {
        const auto found = NewestPublished.find(type);
        return found == NewestPublished.end() ? std::nullopt : std::optional<UtcTime>(found->second);
    }

    bool IsRolledBack(const std::string& releaseId) const;

    bool IsConfigUsable() const {
        return ConfigState == CryptConfigState::Missing || ConfigState == CryptConfigState::Encrypted ||
               ConfigState == CryptConfigState::Plain;
    }
};

// "Config.dat" as one run holds it: read once, at the start, with
// "UserConfig.dat"; every write of the run goes through it, merged with the
// file's content at that moment (another writer's keys survive), and what it
// holds follows each write, so that no later step of the run sees an older
// state. Missing files and keys give the defaults above; host names are
// looked up once, here (host_address.h).
class CClientConfig {
public:
    // applicationFolder ends with the separator.
    explicit CClientConfig(const std::string& applicationFolder);
    CClientConfig(const CClientConfig&) = delete;
    CClientConfig& operator=(const CClientConfig&) = delete;

    const UpdateSettings& Settings() const { return settings_; }

    // [Update] Version := version, on disk, or why not.
    Status WriteVersion(const std::string& version);
    // The newest accepted publication time of a target (newest_published.h).
    NewestPublishedWrite WriteNewestPublished(int32_t type, UtcTime time);
    // [Update] InstallId := id, on disk, or why not.
    Status WriteInstallId(const std::string& id);
    // After a rollback, in one replace of the file: [Update] Version :=
    // version, and releaseId first among the rolled-back releases (the
    // oldest beyond a few dozen are forgotten).
    Status WriteRollback(const std::string& version, const std::string& releaseId);

    // Config.dat as it is now, after other writers (another run) had their
    // turn; the servers stay as they were looked up at the start.
    void Reread();

private:
    // Every setting but the servers and the proxy choice.
    void ReadOwnKeys();

    std::string path_;
    CCryptConfigFile file_;
    UpdateSettings settings_;
};

// The settings of CClientConfig, for a reader that writes nothing.
UpdateSettings ReadUpdateSettings(const std::string& applicationFolder);
