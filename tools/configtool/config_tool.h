#pragma once
// The configuration file tool: reads, writes and dumps the encrypted
// configuration files, so that an installer or an administrator can seed
// "Config.dat". Arguments are GBK texts without the program name.
//   get FILE SECTION KEY         prints the value
//   set FILE SECTION KEY VALUE   writes it (the file is created if missing)
//   dump FILE                    prints the whole file as plain text
//   encrypt PLAIN ENCRYPTED      writes PLAIN's content encrypted to ENCRYPTED
#include <string>
#include <vector>

enum ConfigToolExit {
    kToolOk = 0,
    kToolFailed = 1,    // unreadable or corrupt file, failed write
    kToolUsage = 2,     // bad arguments
    kToolNotFound = 3,  // get: no such key
};

// Output goes to out (the requested bytes, GBK) and messages to err.
int RunConfigTool(const std::vector<std::string>& arguments, std::string& out, std::string& err);
