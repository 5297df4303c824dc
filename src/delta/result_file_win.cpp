#include "delta/result_file.h"

#include "base/file_io.h"
#include "base/handles_win.h"
#include "base/path_info.h"

#include <windows.h>

#include <algorithm>

namespace {
constexpr DWORD kMaxWriteBytes = 1u << 30;
}  // namespace

struct CResultFile::Impl {
    std::wstring path;
    std::wstring temporary;
    UniqueFile file;
    Status opened;
    bool committed = false;
};

CResultFile::CResultFile(const std::string& path) : impl_(std::make_unique<Impl>()) {
    impl_->path = LongPath(path);
    impl_->temporary = LongPath(MakeTempPathBeside(path));
    impl_->file.reset(CreateFileW(impl_->temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!impl_->file) impl_->opened = LastLocalFailure();
}

CResultFile::~CResultFile() {
    if (impl_->committed || !impl_->opened) return;
    impl_->file.reset();
    DeleteFileW(impl_->temporary.c_str());
}

Status CResultFile::OpenStatus() const { return impl_->opened; }

Status CResultFile::Write(const uint8_t* bytes, size_t count) {
    while (count > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count, kMaxWriteBytes));
        DWORD written = 0;
        if (!WriteFile(impl_->file.get(), bytes, chunk, &written, nullptr)) return LastLocalFailure();
        if (written == 0) return LocalFailure(ERROR_WRITE_FAULT);
        bytes += written;
        count -= written;
    }
    return {};
}

Status CResultFile::Commit() {
    if (!impl_->opened) return impl_->opened;
    // Flushed: the updater moves a staged result into place by a rename.
    // Closed before the move: a file cannot be renamed while this handle
    // denies sharing.
    if (!FlushFileBuffers(impl_->file.get())) return LastLocalFailure();
    if (!CloseHandle(impl_->file.release())) return LastLocalFailure();
    if (!MoveFileExW(impl_->temporary.c_str(), impl_->path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return LastLocalFailure();
    impl_->committed = true;
    return {};
}
