#include "engine/ensure_parent_folder.h"

#include "components/directory_ex.h"
#include "components/path_info.h"

void EnsureParentFolder(const std::string& localPath) {
    const std::string folder = CDirectoryEx::GetFilePath(localPath);
    if (folder.empty() || DirectoryExists(folder)) return;
    CDirectoryEx::CreateMultipleDirectory(folder);
}
