#include "publisher/private_key_file.h"

#include "base/unique_fd_posix.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool WriteNewOwnerOnlyFile(const std::filesystem::path& path, std::string_view bytes, std::string& error) {
    UniqueFd file(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!file) {
        error = errno == EEXIST ? "exists already" : std::strerror(errno);
        return false;
    }
    int failure = 0;
    while (!bytes.empty() && failure == 0) {
        const ssize_t written = write(file.get(), bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<size_t>(written));
        } else if (written == 0 || errno != EINTR) {
            failure = written == 0 ? EIO : errno;
        }
    }
    if (failure == 0 && fsync(file.get()) != 0) failure = errno;
    if (failure == 0 && !file.Close()) failure = errno;
    if (failure != 0) {
        error = std::strerror(failure);
        unlink(path.c_str());
        return false;
    }
    return true;
}
