#include "transfer/partial_file_win.h"

#include "base/long_path_win.h"

#include <atomic>
#include <string>

namespace {
// Unique among the downloads of all processes in the folder, and never
// ending in ".bak", which the install step treats as its own backups.
std::wstring PartialName(const std::wstring& localPath) {
    static std::atomic<unsigned> counter{0};
    return localPath + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++) + L".part";
}
}  // namespace

CPartialFile::CPartialFile(const std::string& localPath)
    : localPath_(LongPath(localPath)), partialPath_(PartialName(localPath_)) {
    file_.reset(CreateFileW(partialPath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
}

CPartialFile::~CPartialFile() {
    if (committed_) return;
    file_.reset();
    DeleteFileW(partialPath_.c_str());
}

bool CPartialFile::Write(const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file_.get(), bytes, chunk, &written, nullptr) || written == 0) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

bool CPartialFile::Commit() {
    if (!file_) return false;
    file_.reset();
    // No flush before the move: a file torn by a crash right after it fails
    // the digest check of the next run and is fetched again.
    committed_ = MoveFileExW(partialPath_.c_str(), localPath_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    return committed_;
}
