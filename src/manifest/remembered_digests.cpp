#include "manifest/remembered_digests.h"

#include "base/number_text.h"
#include "base/text_rules.h"

#include <functional>
#include <utility>

namespace {
constexpr int64_t kSpreadTicks = int64_t{7} * 24 * 3600 * kFileTimeTicksPerSecond;

// Files learned in one compare would otherwise all be due in one run; each
// is due somewhere in the last week of the limit, by its name.
int64_t MaxAge(const std::string& key) {
    return kMaxRememberTicks - static_cast<int64_t>(std::hash<std::string>{}(key) % kSpreadTicks);
}

bool SameKeyFields(const RememberedFile& file, const FileMetadata& listed) {
    return file.Size == listed.Size && file.LastWriteTime == listed.LastWriteTime &&
           file.ChangeTime == listed.ChangeTime && file.FileId == listed.FileId;
}
}  // namespace

std::string RememberedName(std::string_view relativeName) {
    std::string key = FoldAsciiCase(relativeName);
    // '/' is no GBK trail byte, so every one of them separates.
    for (char& c : key) {
        if (c == '/') c = '\\';
    }
    return key;
}

RememberedDigests::RememberedDigests(std::string folder, FileClock clock) : folder_(std::move(folder)), clock_(clock) {}

std::optional<FileDigests> RememberedDigests::Recall(const std::string& key, const FileMetadata& listed,
                                                     int64_t listedAt) const {
    const auto found = files_.find(key);
    if (found == files_.end()) return std::nullopt;
    const RememberedFile& file = found->second;
    // Without a file id a replaced file could pass for the one read.
    if (listed.FileId == 0 || !SameKeyFields(file, listed) || IsStale(key, file, listedAt)) return std::nullopt;
    if (file.ChangeTime > file.ListedAt - kSettleTicks) return std::nullopt;
    FileDigests digests;
    digests.Md5 = LowerHex(file.Md5.data(), file.Md5.size());
    if (file.HasSha256) digests.Sha256 = LowerHex(file.Sha256.data(), file.Sha256.size());
    return digests;
}

void RememberedDigests::Learn(const std::string& key, const FileMetadata& listed, int64_t listedAt,
                              const FileDigests& digests) {
    RememberedFile file;
    file.Size = listed.Size;
    file.LastWriteTime = listed.LastWriteTime;
    file.ChangeTime = listed.ChangeTime;
    file.FileId = listed.FileId;
    file.ListedAt = listedAt;
    if (!ParseHex(digests.Md5, file.Md5.data(), file.Md5.size())) {
        Forget(key);
        return;
    }
    file.HasSha256 = ParseHex(digests.Sha256, file.Sha256.data(), file.Sha256.size());
    files_.insert_or_assign(key, file);
    changed_ = true;
}

bool RememberedDigests::IsStale(const std::string& key, const RememberedFile& file, int64_t now) {
    // A read in the future means a clock that was wrong then or is now.
    return file.ListedAt > now + kSettleTicks || file.ListedAt < now - MaxAge(key);
}

void RememberedDigests::Forget(const std::string& key) {
    if (files_.erase(key) > 0) changed_ = true;
}

bool RememberedDigests::Restore(std::string key, const RememberedFile& file) {
    return files_.emplace(std::move(key), file).second;
}
