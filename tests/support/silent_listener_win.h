#pragma once
// A loopback port that accepts connections (Winsock completes them from its
// backlog) and never answers a request: a server that hangs.
#include "transfer/server_address.h"

#include <cstdint>

class SilentListener {
public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    // Port 0 when the socket could not be set up.
    S_UpdateSerivceAddr Server() const { return {"127.0.0.1", port_}; }

private:
    uintptr_t socket_;  // a SOCKET; Winsock's header stays out of the tests that include this one
    uint16_t port_ = 0;
    bool started_ = false;
};
