#include "settings/dotted_address.h"
#include "settings/host_lookup.h"
#include "settings/update_settings.h"

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
