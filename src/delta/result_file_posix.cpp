#include "delta/result_file.h"

#include "base/file_io.h"
#include "base/path_info.h"
#include "base/unique_fd_posix.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

struct CResultFile::Impl {
    std::filesystem::path path;
    std::filesystem::path temporary;
    UniqueFd file;
    Status opened;
    bool committed = false;

    explicit Impl(const std::string& gbkPath)
        : path(ToFileSystemPath(gbkPath)),
          temporary(ToFileSystemPath(MakeTempPathBeside(gbkPath))),
          file(open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)) {
        if (!file) opened = LocalFailure(static_cast<uint32_t>(errno));
    }
};

CResultFile::CResultFile(const std::string& path) : impl_(std::make_unique<Impl>(path)) {}

CResultFile::~CResultFile() {
    if (!impl_->committed && impl_->opened) unlink(impl_->temporary.c_str());
}

Status CResultFile::OpenStatus() const { return impl_->opened; }

Status CResultFile::Write(const uint8_t* bytes, size_t count) {
    while (count > 0) {
        const ssize_t written = write(impl_->file.get(), bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return LocalFailure(static_cast<uint32_t>(errno));
        if (written == 0) return LocalFailure(EIO);
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return {};
}

Status CResultFile::Commit() {
    if (!impl_->opened) return impl_->opened;
    if (!impl_->file.Close()) return LocalFailure(static_cast<uint32_t>(errno));
    if (std::rename(impl_->temporary.c_str(), impl_->path.c_str()) != 0) return LocalFailure(static_cast<uint32_t>(errno));
    impl_->committed = true;
    return {};
}
