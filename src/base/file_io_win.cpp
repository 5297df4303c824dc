#include "base/file_io.h"

#include "base/path_info.h"
#include "base/handles_win.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

namespace {
constexpr DWORD kBlockBytes = 1u << 20;

bool IsMissingError(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}
}  // namespace

FileReadStatus ReadWholeFile(const std::string& path, size_t maxBytes, std::string& bytes) {
    bytes.clear();
    // Others may keep the file open for writing (the client holds its own
    // configuration open); reading a consistent copy is the writer's job,
    // since every writer here replaces the file as a whole.
    UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return IsMissingError(GetLastError()) ? FileReadStatus::Missing : FileReadStatus::Failed;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return FileReadStatus::Failed;
    if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) return FileReadStatus::TooLarge;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read, nullptr)) {
            bytes.clear();
            return FileReadStatus::Failed;
        }
        if (read == 0) break;  // shrunk while we read
        done += read;
    }
    bytes.resize(done);
    return FileReadStatus::Ok;
}

bool ReadFileBlocks(const std::string& path, const std::function<void(const uint8_t*, size_t)>& consume) {
    // Shared for writing and deleting too: installed files being checked
    // may be open in the running client. A folder does not open without
    // FILE_FLAG_BACKUP_SEMANTICS, so only files get through.
    const UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    // One block per thread for its whole life: allocating (and zeroing) a
    // fresh megabyte per file would cost more than reading a small file.
    thread_local std::vector<uint8_t> block(kBlockBytes);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), block.data(), kBlockBytes, &read, nullptr)) return false;
        if (read == 0) return true;
        consume(block.data(), read);
    }
}

Status RemoveFile(const std::string& path) {
    const std::wstring wide = LongPath(path);
    if (DeleteFileW(wide.c_str())) return {};
    const DWORD error = GetLastError();
    if (IsMissingError(error)) return {};
    return LocalFailure(error, "cannot be removed");
}

Status AppendToFile(const std::string& path, std::string_view bytes) {
    const UniqueFile file(CreateFileW(LongPath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !WriteAll(file.get(), bytes)) return LastLocalFailure("cannot be written");
    return {};
}

std::string MakeTempPathBeside(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" +
           std::to_string(counter++) + ".tmp";
}

Status WriteTempFileBeside(const std::string& path, std::string_view bytes, std::string& tempPath) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string temp = MakeTempPathBeside(path);
        const std::wstring wide = LongPath(temp);
        UniqueFile file(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return LastLocalFailure("cannot be created");
        }
        if (!WriteAll(file.get(), bytes) || !FlushFileBuffers(file.get())) {
            const Failure failure = LastLocalFailure("cannot be written");
            file.reset();
            DeleteFileW(wide.c_str());
            return failure;
        }
        tempPath = temp;
        return {};
    }
    return LocalFailure(ERROR_FILE_EXISTS, "no fresh temporary name");
}

Status MoveFileOver(const std::string& tempPath, const std::string& path) {
    const std::wstring wideTemp = LongPath(tempPath);
    if (MoveFileExW(wideTemp.c_str(), LongPath(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    const Failure failure = LastLocalFailure("cannot be replaced");
    DeleteFileW(wideTemp.c_str());
    return failure;
}
