#include <winsock2.h>

#include "support/silent_listener_win.h"

SilentListener::SilentListener() : socket_(INVALID_SOCKET) {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!started_) return;
    const SOCKET listening = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    socket_ = listening;
    if (listening == INVALID_SOCKET) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto* name = reinterpret_cast<sockaddr*>(&address);
    int length = sizeof(address);
    if (bind(listening, name, sizeof(address)) == 0 && listen(listening, 64) == 0 &&
        getsockname(listening, name, &length) == 0) {
        port_ = ntohs(address.sin_port);
    }
}

SilentListener::~SilentListener() {
    if (socket_ != INVALID_SOCKET) closesocket(static_cast<SOCKET>(socket_));
    if (started_) WSACleanup();
}
