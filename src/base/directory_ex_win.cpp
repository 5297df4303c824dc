#include "base/directory_ex.h"

#include "base/gbk_text.h"
#include "base/handles_win.h"
#include "base/path_info.h"
#include "base/text_rules.h"

#include <windows.h>

namespace {

bool IsDotEntry(const WIN32_FIND_DATAW& entry) {
    return wcscmp(entry.cFileName, L".") == 0 || wcscmp(entry.cFileName, L"..") == 0;
}

// Calls visit for every entry of folder but "." and "..". Basic information
// only: short 8.3 names are neither fetched nor matched.
template <typename Visit>
void ForEachEntry(const std::string& folder, Visit visit) {
    WIN32_FIND_DATAW entry{};
    const UniqueFind find(FindFirstFileExW((LongPath(folder) + L"*").c_str(), FindExInfoBasic, &entry,
                                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) return;
    do {
        if (!IsDotEntry(entry)) visit(entry);
    } while (FindNextFileW(find.get(), &entry));
}

bool IsFolder(const WIN32_FIND_DATAW& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// Junctions and folder links are removed as links, never followed: what
// they point at lies outside the folder being deleted.
bool IsLink(const WIN32_FIND_DATAW& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

void DeleteContents(const std::string& folder) {
    ForEachEntry(folder, [&](const WIN32_FIND_DATAW& entry) {
        const std::string path = folder + Narrow(entry.cFileName);
        const std::wstring wide = LongPath(path);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(wide.c_str(), entry.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
        if (IsFolder(entry)) {
            if (!IsLink(entry)) DeleteContents(path + '\\');
            RemoveDirectoryW(wide.c_str());
        } else {
            DeleteFileW(wide.c_str());
        }
    });
}
}  // namespace

std::string CDirectoryEx::GetApplicationPath() {
    std::wstring module(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
        if (length == 0) return {};
        if (length < module.size()) {
            module.resize(length);
            break;
        }
        module.resize(module.size() * 2);  // truncated: the path is longer than the buffer
    }
    std::string path = Narrow(module);
    if (path.starts_with("\\\\?\\")) path.erase(0, 4);
    return GetFilePath(path);
}

bool CDirectoryEx::CreateMultipleDirectory(const std::string& folder) {
    if (folder.empty()) return false;
    if (DirectoryExists(folder)) return true;
    const std::string trimmed = WithoutTrailingSeparators(folder);
    const std::string parent = GetFilePath(trimmed);
    // Each level is shorter than the last, so this ends at a root or at "".
    if (!parent.empty() && parent.size() < folder.size()) CreateMultipleDirectory(parent);
    CreateDirectoryW(LongPath(trimmed).c_str(), nullptr);
    return DirectoryExists(folder);
}

bool CDirectoryEx::DeleteDirectory(const std::string& folder) {
    if (folder.empty()) return false;
    if (!DirectoryExists(folder)) return true;
    const std::string root = WithSeparator(folder, '\\');
    const std::wstring wide = LongPath(root);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) DeleteContents(root);
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    RemoveDirectoryW(wide.c_str());
    return !DirectoryExists(folder);
}

void CDirectoryEx::SearchFile(const std::string& folder, bool subFolders, const std::string& pattern,
                              std::vector<std::string>& paths) {
    if (folder.empty()) return;
    const std::string root = WithSeparator(folder, '\\');
    ForEachEntry(root, [&](const WIN32_FIND_DATAW& entry) {
        const std::string name = Narrow(entry.cFileName);
        if (!IsFolder(entry)) {
            if (MatchesWildcard(name, pattern)) paths.push_back(root + name);
        } else if (subFolders && !IsLink(entry)) {
            SearchFile(root + name + '\\', true, pattern, paths);
        }
    });
}
