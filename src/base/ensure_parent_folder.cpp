#include "base/ensure_parent_folder.h"

#include "base/directory_ex.h"
#include "base/path_info.h"

void EnsureParentFolder(const std::string& localPath) {
    const std::string folder = CDirectoryEx::GetFilePath(localPath);
    if (folder.empty() || DirectoryExists(folder)) return;
    CDirectoryEx::CreateMultipleDirectory(folder);
}
