#pragma once
// A minimal static file server on 127.0.0.1 for the dialog tests: GET
// /{type}/{name} answers with root\{type}\{name} or 404, one request per
// connection. Enough for the manifest and file fetches of one check.
#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

class LoopbackServer {
public:
    // root: a folder ending with '\' (GBK).
    explicit LoopbackServer(std::string root);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    uint16_t Port() const { return port_; }
    int Requests() const { return requests_; }

private:
    void Serve();
    void Answer(SOCKET client);

    std::string root_;
    SOCKET listener_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    std::atomic<int> requests_{0};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// A loopback port where nothing listens.
uint16_t UnusedLoopbackPort();
