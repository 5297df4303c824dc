#pragma once
#include <string>

// Creates the folder of a local file path, with every missing level, unless
// it is there already. A folder that cannot be created is not reported here:
// writing the file into it fails afterwards, and that failure is the one the
// callers act on.
void EnsureParentFolder(const std::string& localPath);
