#pragma once
#include <string>

// The first IPv4 address of a host name, in dotted form, from the system's
// resolver; false when it yields none. On Windows, Winsock is started for
// the look-up and stopped right after it.
bool LookUpFirstIPv4(const std::string& host, std::string& address);
