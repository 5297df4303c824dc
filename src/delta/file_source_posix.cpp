#include "delta/file_source.h"

#include "base/path_info.h"
#include "base/unique_fd_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

class CFileSource final : public CRandomAccessSource {
public:
    explicit CFileSource(const std::string& path) : file_(open(ToFileSystemPath(path).c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat info {};
        if (!file_ || fstat(file_.get(), &info) != 0) {
            opened_ = LocalFailure(static_cast<uint32_t>(errno));
        } else if (!S_ISREG(info.st_mode)) {
            opened_ = LocalFailure(EISDIR);
        } else {
            size_ = static_cast<uint64_t>(info.st_size);
        }
    }

    Status Opened() const { return opened_; }

    uint64_t Size() const override { return size_; }

    Status ReadAt(uint64_t offset, uint8_t* buffer, size_t count) override {
        while (count > 0) {
            const ssize_t got = pread(file_.get(), buffer, count, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return LocalFailure(static_cast<uint32_t>(errno));
            if (got == 0) return EndedEarly();
            buffer += got;
            offset += static_cast<uint64_t>(got);
            count -= static_cast<size_t>(got);
        }
        return {};
    }

private:
    UniqueFd file_;
    Status opened_;
    uint64_t size_ = 0;
};

}  // namespace

std::unique_ptr<CRandomAccessSource> OpenFileSource(const std::string& path, Status& status) {
    auto source = std::make_unique<CFileSource>(path);
    status = source->Opened();
    if (!status) return nullptr;
    return source;
}
