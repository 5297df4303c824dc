#pragma once
// What an update run takes from the client's own configuration:
// "Config.dat" and "UserConfig.dat" in the application folder, each read once.
#include "config/crypt_config_store.h"
#include "transfer/server_address.h"

#include <string>
#include <vector>

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
    // Config.dat as it was read. Corrupt or unreadable, its servers and
    // version are unknown: no update can be checked against it.
    CryptConfigState ConfigState = CryptConfigState::Missing;

    // What makes a configured server unusable, one sentence each ("ServerIP
    // \"http://host/\" is a URL ..."), for the run log.
    std::vector<std::string> ServerProblems;

    bool IsConfigUsable() const {
        return ConfigState == CryptConfigState::Missing || ConfigState == CryptConfigState::Encrypted ||
               ConfigState == CryptConfigState::Plain;
    }
};

// Missing files and keys give the defaults above; host names are looked up.
// applicationFolder ends with the separator.
UpdateSettings ReadUpdateSettings(const std::string& applicationFolder);

// A dotted IPv4 host is taken as it is; a name is looked up (Winsock is
// started only then) and its first address given. False for an empty host
// (address cleared) or a name that does not resolve (address as it was).
bool ResolveHostAddress(const std::string& host, std::string& address);
