#pragma once
// Fetches files from the update servers over HTTP(S) with WinHTTP.
#include "transfer/server_address.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CQIRAUpdateIntf {
public:
    CQIRAUpdateIntf(const std::vector<S_UpdateSerivceAddr>& servers, bool useProxy);
    ~CQIRAUpdateIntf();
    CQIRAUpdateIntf(const CQIRAUpdateIntf&) = delete;
    CQIRAUpdateIntf& operator=(const CQIRAUpdateIntf&) = delete;

    // Fetches GET /{type}/{remoteName} from the first server that serves it
    // and replaces localPath with it only when it arrived whole. Returns the
    // file size (0 or more) or -1. With a window and a message, sends progress
    // (received, total; never equal) and one completion (size, size).
    int32_t GetRemoteFile(uint32_t type, const std::string& remoteName, const std::string& localPath,
                          HWND notifyWindow, UINT notifyMessage);

    // Time allowed to open a connection and to wait for the next data; 15 s
    // and 30 s unless changed (tests shorten them to provoke time-outs).
    void SetTimeouts(DWORD connectMillis, DWORD dataMillis);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
