#include "base/folder_metadata.h"

#include "base/directory_ex.h"
#include "base/gbk_text.h"
#include "base/path_info.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <ctime>
#include <memory>

namespace {
// From the Unix epoch (1970) to the FILETIME one (1601).
constexpr int64_t kUnixEpochTicks = 116'444'736'000'000'000;

int64_t Ticks(const timespec& time) {
    return kUnixEpochTicks + static_cast<int64_t>(time.tv_sec) * kFileTimeTicksPerSecond + time.tv_nsec / 100;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
}  // namespace

FolderMetadata ReadFolderMetadata(const std::string& folder) {
    FolderMetadata result;
    const std::unique_ptr<DIR, DirCloser> dir(opendir(ToFileSystemPath(folder).c_str()));
    if (!dir) {
        result.Status = errno == ENOENT || errno == ENOTDIR ? FolderReadStatus::Missing : FolderReadStatus::Failed;
        result.Why = LastLocalFailure(folder);
        return result;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (!entry) break;
        struct stat info {};
        // Followed as an open would: a link's own times say nothing of its file.
        if (fstatat(dirfd(dir.get()), entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode)) continue;
        FileMetadata file;
        file.Name = Utf8ToGbk(entry->d_name);
        file.Size = static_cast<uint64_t>(info.st_size);
        file.LastWriteTime = Ticks(info.st_mtim);
        file.ChangeTime = Ticks(info.st_ctim);
        file.FileId = static_cast<uint64_t>(info.st_ino);
        result.Files.push_back(std::move(file));
    }
    if (errno != 0) {
        result.Files.clear();
        result.Why = LastLocalFailure(folder);
        return result;
    }
    result.Status = FolderReadStatus::Ok;
    return result;
}

// Linux file systems keep an inode change time that no call sets back.
bool KeepsChangeTimes(const std::string&) { return true; }

bool IsLinkedFolder(const std::string& folder) {
    struct stat info {};
    return lstat(ToFileSystemPath(WithoutTrailingSeparators(folder)).c_str(), &info) != 0 || S_ISLNK(info.st_mode);
}

uint32_t FileLinkCount(const std::string& path) {
    struct stat info {};
    return stat(ToFileSystemPath(path).c_str(), &info) == 0 ? static_cast<uint32_t>(info.st_nlink) : 0;
}

int64_t CurrentFileTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return Ticks(now);
}
