#pragma once
// The path part of a file's address on an update server: /{type}/{name}.
#include <cstdint>
#include <string>
#include <string_view>

// `gbkName` may use '\' between folders; the result is ASCII, with the name
// in UTF-8 and percent-encoded except for RFC 3986 unreserved characters and '/'.
std::string BuildRemotePath(uint32_t type, std::string_view gbkName);
