#pragma once
// A download's body on its way to the local path: written beside it and
// moved over it only when complete, so that a failed transfer leaves the
// local path as it was.
//
// A small file goes to a fresh temporary name that is deleted unless
// committed. A large one goes to "<local path>.~partial", with the
// validator and size of the answer that it comes from in
// "<local path>.~partial.info": it survives a failure, so that the next
// attempt, in this run or a later one, asks only for the rest.
#include "base/handles_win.h"
#include "transfer/range_resume.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A partial download that may be continued: its bytes so far and the
// answer they came from.
struct ResumePoint {
    uint64_t Offset = 0;
    ResumeInfo Info;
};

// Sees the bytes of a file as they are written, each piece with its offset
// in the file.
using WrittenBytes = std::function<void(uint64_t offset, std::string_view bytes)>;

class CPartialFile {
public:
    struct Fresh {};
    struct Continued {};

    // A temporary file of its own, deleted unless committed.
    CPartialFile(const std::string& localPath, Fresh);
    // The partial file of localPath, started anew for the answer `info` describes.
    CPartialFile(const std::string& localPath, const ResumeInfo& info);
    // The partial file of localPath as FindResumePoint found it, appended to.
    CPartialFile(const std::string& localPath, Continued);
    ~CPartialFile();
    CPartialFile(const CPartialFile&) = delete;
    CPartialFile& operator=(const CPartialFile&) = delete;

    bool IsOpen() const { return static_cast<bool>(file_); }
    // From now on, every piece written goes to `observer` as well.
    void Observe(WrittenBytes observer) { observer_ = std::move(observer); }
    bool Write(const void* data, size_t size);
    // Flushes the file to the disk, closes it and replaces the local path with it.
    bool Commit();
    // Closes the file and removes it with its info: a resumable download
    // whose bytes have served their purpose or turned out to be useless.
    void Discard();

private:
    std::string localPath_;
    std::wstring partialPath_;
    bool resumable_ = false;
    UniqueFile file_;
    bool committed_ = false;
    uint64_t size_ = 0;  // where the next piece goes
    WrittenBytes observer_;
};

// The partial download of localPath that can be continued, if there is
// one. Leftovers that cannot (a damaged info, no bytes) are removed.
std::optional<ResumePoint> FindResumePoint(const std::string& localPath);

// For each local path, whether its folder holds any partial download at
// all: one look per folder instead of one per file, which a batch of
// thousands of small files would notice.
std::vector<bool> MayHaveResumePoints(const std::vector<std::string>& localPaths);

// Removes the partial download of localPath, if any.
void DropResumePoint(const std::string& localPath);

// Hands the bytes of localPath's partial download to `sink` block by block,
// from the first; false when the file cannot be read or `sink` said stop.
bool ReadPartialBytes(const std::string& localPath, const std::function<bool(std::string_view block)>& sink);
