#pragma once
// What the command line asks for: one of the three runs of a process.
#include <cstdint>
#include <string>
#include <vector>

struct RunRequest {
    bool Silent = false;
    int32_t Type = 1;   // 1 = the program itself, any other value a data package
    std::string Name;   // data-package folder name (-d:)
};

// Arguments without the program name, each looked at once, left to right:
//   -silent  (and every case-insensitive prefix of it, down to "-" and "")
//   -t:N     package type; at most 10 characters are converted, saturating
//   -d:NAME  package name; at most 259 characters are kept
// Anything else is ignored, and a later -t: or -d: replaces an earlier one.
RunRequest ParseCommandLine(const std::vector<std::string>& arguments);
