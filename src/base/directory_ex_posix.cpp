#include "base/directory_ex.h"

#include "base/gbk_text.h"
#include "base/path_info.h"
#include "base/text_rules.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
std::string GbkPathOf(const fs::path& path) { return Utf8ToGbk(path.string()); }

void DeleteContents(const fs::path& folder) {
    std::error_code error;
    // Without write permission on a folder nothing in it can be removed.
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, error);
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        // symlink_status: links are removed as links, never followed.
        if (fs::is_directory(it->symlink_status(error))) DeleteContents(it->path());
        fs::remove(it->path(), error);
    }
}
}  // namespace

std::string CDirectoryEx::GetApplicationPath() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : WithSeparator(GbkPathOf(program.parent_path()), '/');
}

bool CDirectoryEx::CreateMultipleDirectory(const std::string& folder) {
    if (folder.empty()) return false;
    std::error_code error;
    fs::create_directories(ToFileSystemPath(folder), error);
    return DirectoryExists(folder);
}

bool CDirectoryEx::DeleteDirectory(const std::string& folder) {
    if (folder.empty()) return false;
    const fs::path root = ToFileSystemPath(folder);
    std::error_code error;
    if (fs::is_directory(fs::symlink_status(root, error))) DeleteContents(root);
    fs::remove(root, error);
    return !DirectoryExists(folder);
}

void CDirectoryEx::SearchFile(const std::string& folder, bool subFolders, const std::string& pattern,
                              std::vector<std::string>& paths) {
    if (folder.empty()) return;
    const std::string root = WithSeparator(folder, '/');
    std::error_code error;
    for (fs::directory_iterator it(ToFileSystemPath(root), error), end; !error && it != end; it.increment(error)) {
        const std::string name = GbkPathOf(it->path().filename());
        const fs::file_status status = it->symlink_status(error);
        if (fs::is_directory(status)) {
            if (subFolders) SearchFile(root + name + '/', true, pattern, paths);
        } else if (!fs::is_symlink(status) || fs::is_regular_file(it->status(error))) {
            if (MatchesWildcard(name, pattern)) paths.push_back(root + name);
        }
    }
}
