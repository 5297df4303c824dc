#include "settings/host_address.h"

#include "base/unique_any.h"

// Winsock's getaddrinfo is the POSIX call, so one look-up serves both
// builds; only Winsock has to be started for it.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace {
#ifdef _WIN32
class SocketLibrary {
public:
    SocketLibrary() {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(2, 0), &data) == 0;
    }
    ~SocketLibrary() {
        if (started_) WSACleanup();
    }
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;
    bool Started() const { return started_; }

private:
    bool started_ = false;
};
#else
struct SocketLibrary {
    bool Started() const { return true; }
};
#endif

void FreeAddressInfo(addrinfo* info) { freeaddrinfo(info); }
using UniqueAddressInfo = unique_any<addrinfo*, &FreeAddressInfo>;

// The first IPv4 address of a host name, in dotted form; false when the
// resolver yields none.
bool LookUpFirstIPv4(const std::string& host, std::string& address) {
    const SocketLibrary sockets;
    if (!sockets.Started()) return false;
    // getaddrinfo is gethostbyname's successor: the same IPv4 answer, in the
    // resolver's order, without the shared static result.
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
}  // namespace

bool IsDottedIPv4(std::string_view host) {
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        size_t digits = 0;
        unsigned value = 0;
        while (i < host.size() && host[i] >= '0' && host[i] <= '9' && digits < 4) {
            value = value * 10 + static_cast<unsigned>(host[i] - '0');
            ++i;
            ++digits;
        }
        // A leading zero would be octal to inet_addr.
        if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && host[i - digits] == '0')) return false;
        ++parts;
        if (parts < 4) {
            if (i >= host.size() || host[i] != '.') return false;
            ++i;
        }
    }
    return i == host.size();
}

bool ResolveHostAddress(const std::string& host, std::string& address) {
    if (host.empty()) {
        address.clear();
        return false;
    }
    if (IsDottedIPv4(host)) {
        address = host;
        return true;
    }
    return LookUpFirstIPv4(host, address);
}
