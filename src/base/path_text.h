#pragma once
// Separators in GBK path texts. Both '\' and '/' separate; the second byte
// of a GBK character may be 0x5C and is never taken for one.
#include <cstddef>
#include <string>
#include <string_view>

// The length of the folder part, up to and including the last separator
// (0 when there is none).
size_t FolderPartLength(std::string_view path);
bool EndsWithSeparator(std::string_view path);
// folder unchanged when it is empty or ends with a separator, else with separator appended.
std::string WithSeparator(std::string folder, char separator);
// path without its trailing separators.
std::string WithoutTrailingSeparators(std::string path);
