#pragma once
#include <string>

// HKEY_LOCAL_MACHINE\SOFTWARE\HALVO管家: InstallPath and Version as REG_SZ.
// The key is opened, never created: without it (or without the right to
// write it) nothing is written. True when both values were written.
bool RegisterInstall(const std::string& applicationFolder, const std::string& version);
