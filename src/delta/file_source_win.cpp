#include "delta/file_source.h"

#include "base/handles_win.h"
#include "base/path_info.h"

#include <windows.h>

#include <algorithm>

namespace {

constexpr DWORD kMaxReadBytes = 1u << 30;

class CFileSource final : public CRandomAccessSource {
public:
    CFileSource(UniqueFile file, uint64_t size) : file_(std::move(file)), size_(size) {}

    uint64_t Size() const override { return size_; }

    Status ReadAt(uint64_t offset, uint8_t* buffer, size_t count) override {
        while (count > 0) {
            // The offset travels with each read, so no shared file position
            // is moved between reads at different places.
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count, kMaxReadBytes));
            DWORD read = 0;
            if (!ReadFile(file_.get(), buffer, chunk, &read, &at))
                return GetLastError() == ERROR_HANDLE_EOF ? EndedEarly() : LastLocalFailure();
            if (read == 0) return EndedEarly();
            buffer += read;
            offset += read;
            count -= read;
        }
        return {};
    }

private:
    UniqueFile file_;
    uint64_t size_;
};

}  // namespace

std::unique_ptr<CRandomAccessSource> OpenFileSource(const std::string& path, Status& status) {
    UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        status = LastLocalFailure();
        return nullptr;
    }
    status = {};
    return std::make_unique<CFileSource>(std::move(file), static_cast<uint64_t>(size.QuadPart));
}
