#pragma once
#include "components/server_address.h"

#include <string>
#include <vector>

// Reads the installed version and region, the update servers and the proxy
// flag from "Config.dat" and "UserConfig.dat" in the application folder.
// servers is appended to: the primary always, the secondary only when it has
// an address.
void ReadUpdateSettings(std::string& region, std::vector<S_UpdateSerivceAddr>& servers, std::string& version,
                        bool& useProxy);
// The same with the folder given (ends with the separator), for tests and tools.
void ReadUpdateSettingsFrom(const std::string& folder, std::string& region, std::vector<S_UpdateSerivceAddr>& servers,
                            std::string& version, bool& useProxy);

// A dotted IPv4 host is taken as it is; a name is looked up (Winsock is
// started only then) and its first address given. False leaves address as it was
// (empty for an empty host).
bool ResolveHostAddress(const std::string& host, std::string& address);
