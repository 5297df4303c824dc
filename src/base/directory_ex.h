#pragma once
// Folders on GBK paths: the folder part of a path text, and folders on the
// disk. In a path text both '\' and '/' separate; the second byte of a GBK
// character may be 0x5C and is never taken for one. Folders are texts
// ending with a separator ('\' on Windows). Paths longer than MAX_PATH work.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The length of the folder part, up to and including the last separator
// (0 when there is none).
size_t FolderPartLength(std::string_view path);
bool EndsWithSeparator(std::string_view path);
// folder unchanged when it is empty or ends with a separator, else with separator appended.
std::string WithSeparator(std::string folder, char separator);
// path without its trailing separators.
std::string WithoutTrailingSeparators(std::string path);

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

// Creates the folder of a local file path, with every missing level, unless
// it is there already. A folder that cannot be created is not reported here:
// writing the file into it fails afterwards, and that failure is the one the
// callers act on.
void EnsureParentFolder(const std::string& localPath);
