#pragma once
#include "base/failure.h"

#include <string>

// HKEY_LOCAL_MACHINE\SOFTWARE\HALVO管家: InstallPath and Version as REG_SZ.
// The key is opened, never created: without it (or without the right to
// write it) nothing is written. Succeeds when both values were written.
Status RegisterInstall(const std::string& applicationFolder, const std::string& version);
