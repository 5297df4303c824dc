#include "components/directory_ex.h"

#include "components/path_text.h"

std::string CDirectoryEx::GetFilePath(const std::string& path) { return path.substr(0, FolderPartLength(path)); }
