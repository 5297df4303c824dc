#pragma once
// The address of a configured server host: a dotted IPv4 address is taken as
// it is, a name is asked of the system's resolver.
#include <string>
#include <string_view>

// Exactly four decimal numbers 0-255 joined by dots, as inet_ntoa writes
// them. Other forms that inet_addr also takes ("10.5", "0x7f.1", octal
// "010.0.0.1") go through the resolver instead, which gives them back in this
// form: the transfer component only ever sees canonical dotted addresses.
bool IsDottedIPv4(std::string_view host);

// A dotted IPv4 host is taken as it is; a name is looked up (on Windows,
// Winsock is started only then and stopped right after) and its first IPv4
// address given in dotted form. False for an empty host (address cleared)
// or a name that does not resolve (address as it was).
bool ResolveHostAddress(const std::string& host, std::string& address);
