#include "loopback_server_win.h"

#include "base/gbk_text.h"
#include "base/wide_text_win.h"

#include <ws2tcpip.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
class WinsockSession {
public:
    WinsockSession() { WSAStartup(MAKEWORD(2, 2), &data_); }
    ~WinsockSession() { WSACleanup(); }

private:
    WSADATA data_{};
};

std::string PercentDecode(const std::string& text) {
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            decoded += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

void SendAll(SOCKET socket, const std::string& bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
        const int n = send(socket, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

SOCKET OpenListener(uint16_t& port) {
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(listener);
        return INVALID_SOCKET;
    }
    port = ntohs(address.sin_port);
    return listener;
}
}  // namespace

LoopbackServer::LoopbackServer(std::string root) : root_(std::move(root)) {
    static WinsockSession winsock;
    listener_ = OpenListener(port_);
    if (listener_ == INVALID_SOCKET || listen(listener_, 8) != 0) return;
    thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
    stopping_ = true;
    if (listener_ != INVALID_SOCKET) closesocket(listener_);  // wakes accept()
    if (thread_.joinable()) thread_.join();
}

void LoopbackServer::Serve() {
    while (!stopping_) {
        const SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        Answer(client);
        shutdown(client, SD_SEND);
        closesocket(client);
    }
}

void LoopbackServer::Answer(SOCKET client) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const int n = recv(client, buffer, sizeof(buffer), 0);
        if (n <= 0) return;
        request.append(buffer, static_cast<size_t>(n));
    }
    ++requests_;
    std::istringstream line(request.substr(0, request.find("\r\n")));
    std::string method;
    std::string target;
    line >> method >> target;
    std::string relative = PercentDecode(target.substr(1));  // UTF-8
    for (char& c : relative) if (c == '/') c = '\\';
    std::ifstream file(std::filesystem::path(Widen(root_ + Utf8ToGbk(relative))), std::ios::binary);
    if (!file) {
        SendAll(client, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        return;
    }
    const std::string body((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    SendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                        "\r\nConnection: close\r\n\r\n" + body);
}

uint16_t UnusedLoopbackPort() {
    static WinsockSession winsock;
    uint16_t port = 0;
    const SOCKET probe = OpenListener(port);
    closesocket(probe);  // nothing listens there afterwards
    return port;
}
