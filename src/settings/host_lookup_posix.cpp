#include "settings/host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "base/unique_any.h"

namespace {
void FreeAddressInfo(addrinfo* info) { freeaddrinfo(info); }
using UniqueAddressInfo = unique_any<addrinfo*, &FreeAddressInfo>;
}  // namespace

bool LookUpFirstIPv4(const std::string& host, std::string& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    UniqueAddressInfo found;
    if (getaddrinfo(host.c_str(), nullptr, &hints, found.put()) != 0 || !found) return false;
    char text[INET_ADDRSTRLEN] = {};
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(found.get()->ai_addr);
    if (!inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof(text))) return false;
    address = text;
    return true;
}
