#pragma once
#include <cstdint>
#include <string>

// One update server: a dotted IPv4 address (may be empty) and a port.
struct S_UpdateSerivceAddr {
    std::string Address;
    uint16_t Port = 0;
};
