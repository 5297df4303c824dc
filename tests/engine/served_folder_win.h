#pragma once
// The test update server (tests/server/update_server.py runs the test
// program and exports where the server is): its address, the folder it
// serves, the faults it injects and the paths it was asked for.
#include "components/server_address.h"

#include <cstdint>
#include <string>
#include <vector>

class ServedFolder {
public:
    ServedFolder();

    bool Available() const { return server_.Port != 0; }
    const S_UpdateSerivceAddr& Server() const { return server_; }

    // Serves bytes at /{type}/{gbkName}; '\' in the name separates folders.
    void Put(uint32_t type, const std::string& gbkName, const std::string& bytes) const;
    // faultsJson maps URL paths to faults, e.g. {"/1/a.bin": {"kind": "status", "status": 500}}.
    void SetFaults(const std::string& faultsJson) const;
    // The URL-decoded paths of every request so far, in order.
    std::vector<std::string> RequestedPaths() const;

private:
    S_UpdateSerivceAddr server_;
    std::string root_;  // ends with '\'
    std::string log_;
};
