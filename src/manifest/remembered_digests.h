#pragma once
// What earlier compares learned about the installed files of one folder:
// each file's metadata as its directory listed it, and the digests of the
// content read after that listing. A compare takes a remembered digest
// instead of reading the file only when the file cannot have been written
// since (Recall). It is a cache: an empty or lost memory costs time only.
#include "base/folder_metadata.h"
#include "crypto/file_digests.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

// A read proves a file's content only for change times this far before
// the listing that preceded it. Volumes stamp changes in steps: NTFS and
// Linux file systems at the system clock's tick (1-16 ms), some network and
// older Unix file systems at whole seconds. A write that lands in the step
// of the change time already seen leaves that change time as it was; two
// seconds lie beyond every such step, so a file changed that close to a
// listing is read again by the next compare (and remembered from the one
// after).
// For the same reason an install enters nothing with the digest it verified:
// the installed file's change time is the install's own rename, and a write
// by anyone else within that step would leave it as it was; only a read
// that begins after the margin proves the content. The compare after an
// install reads what it put in place, the one after that recalls it.
constexpr int64_t kSettleTicks = 2 * kFileTimeTicksPerSecond;
// Everything remembered is proved again by a full read at least this often.
constexpr int64_t kMaxRememberTicks = int64_t{30} * 24 * 3600 * kFileTimeTicksPerSecond;

using FileClock = int64_t (*)();

struct RememberedFile {
    uint64_t Size = 0;
    int64_t LastWriteTime = 0;
    int64_t ChangeTime = 0;
    uint64_t FileId = 0;
    int64_t ListedAt = 0;  // the listing that preceded the read of the digests
    std::array<uint8_t, 16> Md5{};
    bool HasSha256 = false;
    std::array<uint8_t, 32> Sha256{};
};

// What the last compare with a memory did: files decided from the memory,
// files it had to read (or found missing).
struct RecallCounts {
    size_t Remembered = 0;
    size_t Read = 0;
};

// The key of a relative file name: '/' as '\', ASCII letters in lower case
// (how Windows matches names; other differences only miss the memory).
std::string RememberedName(std::string_view relativeName);

class RememberedDigests {
public:
    // An empty memory of folder (ending with its separator). clock gives
    // the listing moments and the age of entries.
    explicit RememberedDigests(std::string folder, FileClock clock = &CurrentFileTime);

    const std::string& Folder() const { return folder_; }
    int64_t Now() const { return clock_(); }

    // The remembered digests of the file, when every key field matches what
    // the listing at listedAt shows, the remembered read began after the
    // file's change time had settled, and it is younger than
    // kMaxRememberTicks. Nothing otherwise: the file must be read.
    std::optional<FileDigests> Recall(const std::string& key, const FileMetadata& listed, int64_t listedAt) const;
    // What a read found, the file listed (at listedAt) before the read began.
    void Learn(const std::string& key, const FileMetadata& listed, int64_t listedAt, const FileDigests& digests);
    void Forget(const std::string& key);
    // Too old to be used at now, or read by a clock that was wrong then or is now.
    static bool IsStale(const std::string& key, const RememberedFile& file, int64_t now);

    RecallCounts& Counts() { return counts_; }
    const RecallCounts& Counts() const { return counts_; }

    // Whether anything was learned or forgotten since loading.
    bool IsChanged() const { return changed_; }
    const std::unordered_map<std::string, RememberedFile>& Files() const { return files_; }
    // For the loader: an entry as saved. False when the key is taken.
    bool Restore(std::string key, const RememberedFile& file);

private:
    std::string folder_;
    FileClock clock_;
    std::unordered_map<std::string, RememberedFile> files_;
    RecallCounts counts_;
    bool changed_ = false;
};
