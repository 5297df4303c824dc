#include "base/file_io.h"

#include "base/path_info.h"
#include "base/unique_fd_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <vector>

namespace {
constexpr size_t kBlockBytes = 1u << 20;

bool IsMissingError(int error) { return error == ENOENT || error == ENOTDIR; }

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// The folder's entry of the rename must reach the disk too.
void SyncFolderOf(const std::filesystem::path& path) {
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    UniqueFd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) fsync(dir.get());
}
}  // namespace

FileReadStatus ReadWholeFile(const std::string& path, size_t maxBytes, std::string& bytes) {
    bytes.clear();
    UniqueFd file(open(ToFileSystemPath(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return IsMissingError(errno) ? FileReadStatus::Missing : FileReadStatus::Failed;
    struct stat info {};
    if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return FileReadStatus::Failed;
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) return FileReadStatus::TooLarge;
    bytes.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = read(file.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            bytes.clear();
            return FileReadStatus::Failed;
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    return FileReadStatus::Ok;
}

bool ReadFileBlocks(const std::string& path, const std::function<void(const uint8_t*, size_t)>& consume) {
    const UniqueFd file(open(ToFileSystemPath(path).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!file || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    // One block per thread for its whole life: allocating (and zeroing) a
    // fresh megabyte per file would cost more than reading a small file.
    thread_local std::vector<uint8_t> block(kBlockBytes);
    for (;;) {
        const ssize_t got = read(file.get(), block.data(), block.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        consume(block.data(), static_cast<size_t>(got));
    }
}

Status RemoveFile(const std::string& path) {
    if (unlink(ToFileSystemPath(path).c_str()) == 0 || IsMissingError(errno)) return {};
    return LastLocalFailure("cannot be removed");
}

Status AppendToFile(const std::string& path, std::string_view bytes) {
    UniqueFd file(open(ToFileSystemPath(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (file.get() < 0 || !WriteAll(file.get(), bytes) || !file.Close()) {
        return LastLocalFailure("cannot be written");
    }
    return {};
}

std::string MakeTempPathBeside(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    static const unsigned salt = std::random_device{}();
    return path + "." + std::to_string(getpid()) + "-" + std::to_string(salt) + "-" + std::to_string(counter++) +
           ".tmp";
}

Status WriteTempFileBeside(const std::string& path, std::string_view bytes, std::string& tempPath) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string temp = MakeTempPathBeside(path);
        const std::filesystem::path native = ToFileSystemPath(temp);
        UniqueFd file(open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        if (file.get() < 0) {
            if (errno == EEXIST) continue;
            return LastLocalFailure("cannot be created");
        }
        if (!WriteAll(file.get(), bytes) || fsync(file.get()) != 0 || !file.Close()) {
            const Failure failure = LastLocalFailure("cannot be written");
            unlink(native.c_str());
            return failure;
        }
        tempPath = temp;
        return {};
    }
    return LocalFailure(EEXIST, "no fresh temporary name");
}

Status MoveFileOver(const std::string& tempPath, const std::string& path) {
    const std::filesystem::path from = ToFileSystemPath(tempPath);
    const std::filesystem::path to = ToFileSystemPath(path);
    if (std::rename(from.c_str(), to.c_str()) == 0) {
        SyncFolderOf(to);
        return {};
    }
    const Failure failure = LastLocalFailure("cannot be replaced");
    unlink(from.c_str());
    return failure;
}
