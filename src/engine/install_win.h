#pragma once
#include "manifest/update_file_info.h"

#include <cstdint>
#include <string>
#include <vector>

// Copies every staged file over the installed one; a file that cannot be
// overwritten (in use) is renamed to name + ".bak" and copied once more.
// Returns true when every file was installed.
bool InstallStagedFiles(const std::vector<S_UpdateFileInfo>& files, const std::string& stagingFolder,
                        const std::string& targetFolder);

// Deletes every "*.bak" below applicationFolder: the backups that earlier
// installs left beside files that were in use. Read-only ones too.
void DeleteLeftoverBackups(const std::string& applicationFolder);
