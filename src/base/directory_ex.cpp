#include "base/directory_ex.h"

#include "base/path_text.h"

std::string CDirectoryEx::GetFilePath(const std::string& path) { return path.substr(0, FolderPartLength(path)); }
