#pragma once
// Folder helpers on GBK paths. Folders are texts ending with '\' (on the
// native build '/' and '\' both separate). Paths longer than MAX_PATH work.
#include <string>
#include <vector>

class CDirectoryEx {
public:
    // Folder of the running program, ending with the separator.
    static std::string GetApplicationPath();
    // The folder part of a path, ending with the separator ("" when there is none).
    static std::string GetFilePath(const std::string& path);
    // Creates the folder and every missing level; true when it exists afterwards.
    static bool CreateMultipleDirectory(const std::string& folder);
    // Removes the folder with everything in it, read-only files included;
    // carries on past what it cannot remove. True when the folder is gone.
    static bool DeleteDirectory(const std::string& folder);
    // Appends the full paths of the files matching pattern ('*', '?') in
    // folder, and in its sub-folders when subFolders is true.
    static void SearchFile(const std::string& folder, bool subFolders, const std::string& pattern,
                           std::vector<std::string>& paths);
};
