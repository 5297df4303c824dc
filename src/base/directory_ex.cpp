#include "base/directory_ex.h"

#include "base/path_info.h"
#include "base/text_rules.h"

size_t FolderPartLength(std::string_view path) {
    size_t end = 0;
    for (size_t i = 0; i < path.size(); i += GbkCharLength(path, i)) {
        if (path[i] == '\\' || path[i] == '/') end = i + 1;
    }
    return end;
}

bool EndsWithSeparator(std::string_view path) { return !path.empty() && FolderPartLength(path) == path.size(); }

std::string WithSeparator(std::string folder, char separator) {
    if (!folder.empty() && !EndsWithSeparator(folder)) folder += separator;
    return folder;
}

std::string WithoutTrailingSeparators(std::string path) {
    while (EndsWithSeparator(path)) path.pop_back();
    return path;
}

std::string CDirectoryEx::GetFilePath(const std::string& path) { return path.substr(0, FolderPartLength(path)); }

void EnsureParentFolder(const std::string& localPath) {
    const std::string folder = CDirectoryEx::GetFilePath(localPath);
    if (folder.empty() || DirectoryExists(folder)) return;
    CDirectoryEx::CreateMultipleDirectory(folder);
}
