#pragma once
// The three runs that one updater process can make; start-up picks one.
#include <cstdint>
#include <string>

void RunSilentProgramUpdate();
void RunSilentDataPackageUpdate(int32_t type, const std::string& name);
void RunUpdateDialog(int32_t type, const std::string& name);
