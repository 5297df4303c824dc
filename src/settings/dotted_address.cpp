#include "settings/dotted_address.h"

bool IsDottedIPv4(std::string_view host) {
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        size_t digits = 0;
        unsigned value = 0;
        while (i < host.size() && host[i] >= '0' && host[i] <= '9' && digits < 4) {
            value = value * 10 + static_cast<unsigned>(host[i] - '0');
            ++i;
            ++digits;
        }
        // A leading zero would be octal to inet_addr.
        if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && host[i - digits] == '0')) return false;
        ++parts;
        if (parts < 4) {
            if (i >= host.size() || host[i] != '.') return false;
            ++i;
        }
    }
    return i == host.size();
}
