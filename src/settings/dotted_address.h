#pragma once
#include <string_view>

// Exactly four decimal numbers 0-255 joined by dots, as inet_ntoa writes
// them. Other forms that inet_addr also takes ("10.5", "0x7f.1", octal
// "010.0.0.1") go through the resolver instead, which gives them back in this
// form: the transfer component only ever sees canonical dotted addresses.
bool IsDottedIPv4(std::string_view host);
