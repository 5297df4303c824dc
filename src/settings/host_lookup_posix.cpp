#include "settings/host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <memory>

namespace {
struct AddressInfoFree {
    void operator()(addrinfo* info) const { freeaddrinfo(info); }
};
}  // namespace

bool LookUpFirstIPv4(const std::string& host, std::string& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    const std::unique_ptr<addrinfo, AddressInfoFree> owner(found);
    char text[INET_ADDRSTRLEN] = {};
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    if (!inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof(text))) return false;
    address = text;
    return true;
}
