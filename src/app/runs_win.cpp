#include "app/runs_win.h"

// Each run is wired in as its engine lands; until then a run does nothing.
void RunSilentProgramUpdate() {}
void RunSilentDataPackageUpdate(int32_t, const std::string&) {}
void RunUpdateDialog(int32_t, const std::string&) {}
