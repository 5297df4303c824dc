#include "base/folder_metadata.h"

#include "base/directory_ex.h"
#include "base/gbk_text.h"
#include "base/handles_win.h"
#include "base/path_info.h"

#include <windows.h>

#include <cwchar>

// One GetFileInformationByHandleEx(FileIdBothDirectoryInfo) call returns as
// many entries as fit the buffer, each with its size, times and file id,
// from the directory alone. On NTFS the directory's copy of a file's size
// and times is brought up to date when a writer closes its handle, and for
// a hard link when it is opened by that name: a file still open for writing,
// or written through another of its links, can look unchanged here until
// then (the same holds for FindFirstFile).
//
// Wine (8.0) answers from the Unix directory and one stat() per entry,
// about 2-3 us each: ChangeTime is the inode's ctime (to 100 ns), which
// SetFileTime moves forward like any write and which no call sets back (a
// ChangeTime given to SetFileInformationByHandle is accepted and ignored);
// FileId is the inode number; LastWriteTime is the mtime; a Unix symbolic
// link is listed as the file it leads to. The volume is reported as NTFS.
// A volume query costs 100-200 us there (a listing of 50 files about as
// much), hence one per compared folder (KeepsChangeTimes), not one per
// listing; Unix mount points below it look like plain folders.
namespace {
constexpr DWORD kQueryBytes = 64 * 1024;

int64_t Ticks(LARGE_INTEGER value) { return value.QuadPart; }

bool IsPlainFile(const FILE_ID_BOTH_DIR_INFO& entry) {
    return (entry.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}

void Append(const FILE_ID_BOTH_DIR_INFO& entry, std::vector<FileMetadata>& files) {
    if (!IsPlainFile(entry)) return;
    FileMetadata file;
    file.Name = Narrow(std::wstring_view(entry.FileName, entry.FileNameLength / sizeof(wchar_t)));
    file.Size = static_cast<uint64_t>(entry.EndOfFile.QuadPart);
    file.LastWriteTime = Ticks(entry.LastWriteTime);
    file.ChangeTime = Ticks(entry.ChangeTime);
    // -1 is ReFS's answer for an id that does not fit 64 bits.
    const auto id = static_cast<uint64_t>(entry.FileId.QuadPart);
    file.FileId = id == ~uint64_t{0} ? 0 : id;
    files.push_back(std::move(file));
}
}  // namespace

FolderMetadata ReadFolderMetadata(const std::string& folder) {
    FolderMetadata result;
    const UniqueFile handle(CreateFileW(LongPath(folder).c_str(), FILE_LIST_DIRECTORY,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) {
        const DWORD error = GetLastError();
        result.Status = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FolderReadStatus::Missing
                                                                                        : FolderReadStatus::Failed;
        result.Why = LocalFailure(error, folder);
        return result;
    }
    // 8-byte aligned, as the entries' LARGE_INTEGER fields need.
    std::vector<uint64_t> buffer(kQueryBytes / sizeof(uint64_t));
    FILE_INFO_BY_HANDLE_CLASS query = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!GetFileInformationByHandleEx(handle.get(), query, buffer.data(), kQueryBytes)) {
            const DWORD error = GetLastError();
            // A folder without even "." (a drive's empty root) has no first entry.
            if (error == ERROR_NO_MORE_FILES || (error == ERROR_FILE_NOT_FOUND && query == FileIdBothDirectoryRestartInfo))
                break;
            result.Files.clear();
            result.Status = FolderReadStatus::Failed;
            result.Why = LocalFailure(error, folder);
            return result;
        }
        query = FileIdBothDirectoryInfo;
        const auto* bytes = reinterpret_cast<const uint8_t*>(buffer.data());
        for (;;) {
            const auto& entry = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes);
            Append(entry, result.Files);
            if (entry.NextEntryOffset == 0) break;
            bytes += entry.NextEntryOffset;
        }
    }
    result.Status = FolderReadStatus::Ok;
    return result;
}

bool KeepsChangeTimes(const std::string& folder) {
    const UniqueFile handle(CreateFileW(LongPath(folder).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    wchar_t fileSystem[MAX_PATH + 1] = {};
    if (!handle || !GetVolumeInformationByHandleW(handle.get(), nullptr, 0, nullptr, nullptr, nullptr, fileSystem,
                                                  MAX_PATH + 1)) {
        return false;
    }
    // NTFS and ReFS keep a change time of their own and stable file ids;
    // FAT, exFAT and others report the last-write time in its place.
    return wcscmp(fileSystem, L"NTFS") == 0 || wcscmp(fileSystem, L"ReFS") == 0;
}

bool IsLinkedFolder(const std::string& folder) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    // What cannot be asked may be anything.
    if (!GetFileAttributesExW(LongPath(WithoutTrailingSeparators(folder)).c_str(), GetFileExInfoStandard, &data))
        return true;
    return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

uint32_t FileLinkCount(const std::string& path) {
    const UniqueFile file(CreateFileW(LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file || !GetFileInformationByHandle(file.get(), &information)) return 0;
    return information.nNumberOfLinks;
}

int64_t CurrentFileTime() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}
