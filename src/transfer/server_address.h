#pragma once
#include <cstdint>
#include <string>

// One update server. `Host` is the text configured for it, a name or a
// dotted IPv4 address: requests go to that name, so that the Host header,
// TLS's server name and its certificate check carry it. `Address` is what
// the name resolved to when the settings were read; an empty one means the
// server is not usable and is skipped. Lists made by hand may leave `Host`
// empty: `Address` is then the host.
struct S_UpdateSerivceAddr {
    std::string Address;
    uint16_t Port = 0;
    std::string Host = {};
};

inline const std::string& HostOf(const S_UpdateSerivceAddr& server) {
    return server.Host.empty() ? server.Address : server.Host;
}

// "host:port" as the configuration names the server: how logs and the
// transfer's attempts name it.
inline std::string ServerName(const S_UpdateSerivceAddr& server) {
    return HostOf(server) + ":" + std::to_string(server.Port);
}
