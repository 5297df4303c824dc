#pragma once
// The three runs that one updater process can make; start-up picks one.
#include "engine/run_outcome.h"

#include <cstdint>
#include <string>

RunOutcome RunSilentProgramUpdate();
RunOutcome RunSilentDataPackageUpdate(int32_t type, const std::string& name);
RunOutcome RunUpdateDialog(int32_t type, const std::string& name);
