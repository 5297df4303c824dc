#include "base/failure.h"

#include <cerrno>

namespace {
FailureKind KindOfErrno(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return FailureKind::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return FailureKind::AccessDenied;
    case EBUSY:
    case ETXTBSY:
        return FailureKind::InUse;
    case ENOENT:
    case ENOTDIR:
    case EISDIR:
    case ENAMETOOLONG:
        return FailureKind::BadPath;
    default:
        return FailureKind::LocalIo;
    }
}
}  // namespace

Failure LocalFailure(uint32_t systemError, std::string detail) {
    return {KindOfErrno(static_cast<int>(systemError)), systemError, 0, std::move(detail)};
}

Failure LastLocalFailure(std::string detail) { return LocalFailure(static_cast<uint32_t>(errno), std::move(detail)); }
