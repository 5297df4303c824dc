#include "transfer/partial_file_win.h"

#include "base/file_io.h"
#include "base/path_info.h"
#include "base/directory_ex.h"

#include <atomic>
#include <map>
#include <string>

namespace {
constexpr char kResumableSuffix[] = ".~partial";
constexpr char kInfoSuffix[] = ".~partial.info";
constexpr size_t kInfoLimit = 4096;
constexpr size_t kReadBlock = 256 * 1024;

// Unique among the downloads of all processes in the folder, and never
// ending in ".bak", which the install step treats as its own backups.
std::wstring FreshName(const std::wstring& localPath) {
    static std::atomic<unsigned> counter{0};
    return localPath + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++) + L".part";
}

UniqueFile OpenForWriting(const std::wstring& path, DWORD disposition) {
    return UniqueFile(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::optional<uint64_t> FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return std::nullopt;
    }
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}
}  // namespace

CPartialFile::CPartialFile(const std::string& localPath, Fresh)
    : localPath_(localPath), partialPath_(FreshName(LongPath(localPath))) {
    file_ = OpenForWriting(partialPath_, CREATE_NEW);
}

CPartialFile::CPartialFile(const std::string& localPath, const ResumeInfo& info)
    : localPath_(localPath), partialPath_(LongPath(localPath + kResumableSuffix)), resumable_(true) {
    // The info first: partial bytes without it are thrown away, never
    // continued against the wrong answer.
    DropResumePoint(localPath);
    if (!ReplaceFileAtomically(localPath + kInfoSuffix, FormatResumeInfo(info))) return;
    file_ = OpenForWriting(partialPath_, CREATE_ALWAYS);
}

CPartialFile::CPartialFile(const std::string& localPath, Continued)
    : localPath_(localPath), partialPath_(LongPath(localPath + kResumableSuffix)), resumable_(true) {
    file_ = OpenForWriting(partialPath_, OPEN_EXISTING);
    LARGE_INTEGER end{};
    LARGE_INTEGER size{};
    if (file_ && !SetFilePointerEx(file_.get(), end, &size, FILE_END)) file_.reset();
    size_ = static_cast<uint64_t>(size.QuadPart);
}

CPartialFile::~CPartialFile() {
    if (committed_ || resumable_) return;
    file_.reset();
    DeleteFileW(partialPath_.c_str());
}

bool CPartialFile::Write(const void* data, size_t size) {
    if (observer_) observer_(size_, std::string_view(static_cast<const char*>(data), size));
    size_ += size;
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
    // Flushed while its handle is open anyway: the install moves the file
    // into place by a rename (install_win.h), with no copy of its own to
    // flush, and the threads of a batch flush side by side.
    if (!file_ || !FlushFileBuffers(file_.get())) return false;
    file_.reset();
    committed_ = MoveFileExW(partialPath_.c_str(), LongPath(localPath_).c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (committed_ && resumable_) RemoveFile(localPath_ + kInfoSuffix);
    return committed_;
}

void CPartialFile::Discard() {
    file_.reset();
    DeleteFileW(partialPath_.c_str());
    if (resumable_) RemoveFile(localPath_ + kInfoSuffix);
    committed_ = true;  // nothing left for the destructor
}

std::optional<ResumePoint> FindResumePoint(const std::string& localPath) {
    // The info is written before the partial bytes and removed after them:
    // without it there is nothing to continue.
    std::string text;
    const FileReadStatus read = ReadWholeFile(localPath + kInfoSuffix, kInfoLimit, text);
    if (read == FileReadStatus::Missing) return std::nullopt;
    const std::optional<ResumeInfo> info = read == FileReadStatus::Ok ? ParseResumeInfo(text) : std::nullopt;
    const std::optional<uint64_t> size = FileSize(LongPath(localPath + kResumableSuffix));
    if (!info || !size || *size == 0 || *size >= info->Total) {
        DropResumePoint(localPath);
        return std::nullopt;
    }
    return ResumePoint{*size, *info};
}

std::vector<bool> MayHaveResumePoints(const std::vector<std::string>& localPaths) {
    std::map<std::string, bool> folders;
    std::vector<bool> may;
    may.reserve(localPaths.size());
    for (const std::string& path : localPaths) {
        const std::string folder = path.substr(0, FolderPartLength(path));
        auto known = folders.find(folder);
        if (known == folders.end()) {
            WIN32_FIND_DATAW found;
            const UniqueFind search(FindFirstFileW(LongPath(folder + "*" + kInfoSuffix).c_str(), &found));
            known = folders.emplace(folder, static_cast<bool>(search)).first;
        }
        may.push_back(known->second);
    }
    return may;
}

bool ReadPartialBytes(const std::string& localPath, const std::function<bool(std::string_view block)>& sink) {
    const UniqueFile file(CreateFileW(LongPath(localPath + kResumableSuffix).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    std::vector<char> block(kReadBlock);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &read, nullptr)) return false;
        if (read == 0) return true;
        if (!sink(std::string_view(block.data(), read))) return false;
    }
}

void DropResumePoint(const std::string& localPath) {
    RemoveFile(localPath + kResumableSuffix);
    RemoveFile(localPath + kInfoSuffix);
}
