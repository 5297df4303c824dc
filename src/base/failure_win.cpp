#include "base/failure.h"

#include <windows.h>

namespace {
FailureKind KindOfWindowsError(DWORD error) {
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return FailureKind::DiskFull;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return FailureKind::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return FailureKind::InUse;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
    case ERROR_BAD_PATHNAME:
        return FailureKind::BadPath;
    default:
        return FailureKind::LocalIo;
    }
}
}  // namespace

Failure LocalFailure(uint32_t systemError, std::string detail) {
    return {KindOfWindowsError(systemError), systemError, 0, std::move(detail)};
}

Failure LastLocalFailure(std::string detail) { return LocalFailure(GetLastError(), std::move(detail)); }
