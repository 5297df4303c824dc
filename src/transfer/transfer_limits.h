#pragma once
// How long a transfer may take before a server is given up on.
#include <cstdint>

struct TransferLimits {
    uint32_t ConnectMillis = 15000;      // to resolve, connect and send the request
    uint32_t IdleMillis = 30000;         // for the answer, and between two pieces of the body
    uint32_t FloorWindowMillis = 30000;  // averaged under FloorBytesPerSecond over it: too slow (0: no floor)
    uint64_t FloorBytesPerSecond = 1024;
};
