#include "settings/host_lookup.h"

#include "base/unique_any.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace {
// Winsock is started only for a look-up and stopped right after it.
class WinsockSession {
public:
    WinsockSession() {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(2, 0), &data) == 0;
    }
    ~WinsockSession() {
        if (started_) WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool Started() const { return started_; }

private:
    bool started_ = false;
};

void FreeAddressInfo(ADDRINFOA* info) { freeaddrinfo(info); }
using UniqueAddressInfo = unique_any<ADDRINFOA*, &FreeAddressInfo>;
}  // namespace

bool LookUpFirstIPv4(const std::string& host, std::string& address) {
    const WinsockSession winsock;
    if (!winsock.Started()) return false;
    // getaddrinfo is gethostbyname's successor: the same IPv4 answer, in the
    // resolver's order, without the shared static result.
    ADDRINFOA hints{};
    hints.ai_family = AF_INET;
    UniqueAddressInfo found;
    if (getaddrinfo(host.c_str(), nullptr, &hints, found.put()) != 0 || !found) return false;
    char text[INET_ADDRSTRLEN] = {};
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(found.get()->ai_addr);
    if (!inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof(text))) return false;
    address = text;
    return true;
}
