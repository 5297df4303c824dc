#include "manifest/remembered_digests_file.h"

#include "base/directory_ex.h"
#include "base/file_io.h"
#include "crypto/md5_digest.h"

#include <cstring>
#include <utility>

// Layout, integers little-endian:
//   "QDIG", u32 format version, u32 folder length, folder (GBK), u32 count,
//   count entries:
//     u16 key length, key (GBK), u64 size, i64 last-write time,
//     i64 change time, u64 file id, i64 listing moment, u8 flags
//     (1: a SHA-256 follows the MD5), 16-byte MD5, [32-byte SHA-256],
//   the MD5 of everything before it.
// The MD5 finds damage, not forgery: whoever can write here can write the
// installed files themselves.
namespace {
constexpr char kMagic[4] = {'Q', 'D', 'I', 'G'};
constexpr uint32_t kFormatVersion = 1;
constexpr uint8_t kHasSha256 = 1;
constexpr size_t kChecksumBytes = 16;
constexpr size_t kHeaderBytes = sizeof kMagic + 4;
constexpr size_t kSmallestEntryBytes = 2 + 1 + 5 * 8 + 1 + 16;
// About 100 bytes an entry: room for millions of files.
constexpr size_t kMaxFileBytes = size_t{256} << 20;

class ByteWriter {
public:
    template <typename Integer>
    void Put(Integer value) {
        for (size_t i = 0; i < sizeof(Integer); ++i) bytes_ += static_cast<char>(static_cast<uint64_t>(value) >> (8 * i));
    }
    void Put(const void* data, size_t count) { bytes_.append(static_cast<const char*>(data), count); }
    std::string& Bytes() { return bytes_; }

private:
    std::string bytes_;
};

// Reads from a bounded span; every read after one that ran past the end
// fails too, so a caller checks once at the end.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}
    template <typename Integer>
    Integer Get() {
        uint64_t value = 0;
        const std::string_view raw = Take(sizeof(Integer));
        for (size_t i = 0; i < raw.size(); ++i) value |= uint64_t{static_cast<uint8_t>(raw[i])} << (8 * i);
        return static_cast<Integer>(value);
    }
    std::string_view Take(size_t count) {
        if (!ok_ || count > bytes_.size() - at_) {
            ok_ = false;
            return {};
        }
        const std::string_view taken = bytes_.substr(at_, count);
        at_ += count;
        return taken;
    }
    void Copy(uint8_t* out, size_t count) {
        const std::string_view raw = Take(count);
        if (!raw.empty()) std::memcpy(out, raw.data(), count);
    }
    bool Ok() const { return ok_; }
    size_t Left() const { return bytes_.size() - at_; }

private:
    std::string_view bytes_;
    size_t at_ = 0;
    bool ok_ = true;
};

std::array<uint8_t, 16> ChecksumOf(std::string_view bytes) {
    Md5Digest md5;
    md5.Update(bytes.data(), bytes.size());
    return md5.Finish();
}

void PutEntry(ByteWriter& out, const std::string& key, const RememberedFile& file) {
    out.Put(static_cast<uint16_t>(key.size()));
    out.Put(key.data(), key.size());
    out.Put(file.Size);
    out.Put(file.LastWriteTime);
    out.Put(file.ChangeTime);
    out.Put(file.FileId);
    out.Put(file.ListedAt);
    out.Put(static_cast<uint8_t>(file.HasSha256 ? kHasSha256 : 0));
    out.Put(file.Md5.data(), file.Md5.size());
    if (file.HasSha256) out.Put(file.Sha256.data(), file.Sha256.size());
}

// False at anything the writer would not have written.
bool GetEntry(ByteReader& in, std::string& key, RememberedFile& file) {
    const auto keyLength = in.Get<uint16_t>();
    key.assign(in.Take(keyLength));
    file.Size = in.Get<uint64_t>();
    file.LastWriteTime = in.Get<int64_t>();
    file.ChangeTime = in.Get<int64_t>();
    file.FileId = in.Get<uint64_t>();
    file.ListedAt = in.Get<int64_t>();
    const auto flags = in.Get<uint8_t>();
    if ((flags & ~kHasSha256) != 0) return false;
    in.Copy(file.Md5.data(), file.Md5.size());
    file.HasSha256 = (flags & kHasSha256) != 0;
    if (file.HasSha256) in.Copy(file.Sha256.data(), file.Sha256.size());
    return in.Ok() && keyLength > 0;
}

RememberedDigestsState Parse(std::string_view bytes, const std::string& folder, RememberedDigests& memory) {
    if (bytes.size() < sizeof kMagic) return RememberedDigestsState::Damaged;
    if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return RememberedDigestsState::Foreign;
    ByteReader header(bytes.substr(sizeof kMagic));
    const auto version = header.Get<uint32_t>();
    if (!header.Ok()) return RememberedDigestsState::Damaged;
    if (version != kFormatVersion) return RememberedDigestsState::OtherVersion;
    if (bytes.size() < kHeaderBytes + kChecksumBytes) return RememberedDigestsState::Damaged;
    const std::string_view body = bytes.substr(0, bytes.size() - kChecksumBytes);
    const auto checksum = ChecksumOf(body);
    if (std::memcmp(checksum.data(), bytes.data() + body.size(), kChecksumBytes) != 0)
        return RememberedDigestsState::Damaged;

    ByteReader in(body.substr(kHeaderBytes));
    const std::string_view savedFolder = in.Take(in.Get<uint32_t>());
    const auto count = in.Get<uint32_t>();
    if (!in.Ok() || count > in.Left() / kSmallestEntryBytes) return RememberedDigestsState::Damaged;
    if (savedFolder != folder) return RememberedDigestsState::OtherFolder;
    std::string key;
    RememberedFile file;
    for (uint32_t i = 0; i < count; ++i) {
        if (!GetEntry(in, key, file) || !memory.Restore(key, file)) return RememberedDigestsState::Damaged;
    }
    return in.Left() == 0 ? RememberedDigestsState::Loaded : RememberedDigestsState::Damaged;
}
}  // namespace

const char* DescribeRememberedDigestsState(RememberedDigestsState state) {
    switch (state) {
    case RememberedDigestsState::Loaded:
        return "loaded";
    case RememberedDigestsState::Missing:
        return "none yet";
    case RememberedDigestsState::Unreadable:
        return "unreadable";
    case RememberedDigestsState::Foreign:
        return "not a memory of digests";
    case RememberedDigestsState::OtherVersion:
        return "of another format version";
    case RememberedDigestsState::OtherFolder:
        return "of another folder";
    case RememberedDigestsState::Damaged:
        return "damaged";
    }
    return "damaged";
}

LoadedDigests ParseRememberedDigests(std::string_view bytes, const std::string& folder, FileClock clock) {
    LoadedDigests loaded{RememberedDigests(folder, clock), RememberedDigestsState::Loaded};
    loaded.State = Parse(bytes, folder, loaded.Memory);
    // Nothing of a memory that is wrong anywhere is used.
    if (loaded.State != RememberedDigestsState::Loaded) loaded.Memory = RememberedDigests(folder, clock);
    return loaded;
}

LoadedDigests LoadRememberedDigests(const std::string& path, const std::string& folder, FileClock clock) {
    std::string bytes;
    switch (ReadWholeFile(path, kMaxFileBytes, bytes)) {
    case FileReadStatus::Ok:
        return ParseRememberedDigests(bytes, folder, clock);
    case FileReadStatus::Missing:
        return {RememberedDigests(folder, clock), RememberedDigestsState::Missing};
    case FileReadStatus::TooLarge:
    case FileReadStatus::Failed:
        break;
    }
    return {RememberedDigests(folder, clock), RememberedDigestsState::Unreadable};
}

std::string SerializeRememberedDigests(const RememberedDigests& memory) {
    const int64_t now = memory.Now();
    ByteWriter out;
    out.Put(kMagic, sizeof kMagic);
    out.Put(kFormatVersion);
    out.Put(static_cast<uint32_t>(memory.Folder().size()));
    out.Put(memory.Folder().data(), memory.Folder().size());
    const size_t countAt = out.Bytes().size();
    out.Put(uint32_t{0});
    uint32_t count = 0;
    for (const auto& [key, file] : memory.Files()) {
        if (RememberedDigests::IsStale(key, file, now) || key.size() > UINT16_MAX) continue;
        PutEntry(out, key, file);
        ++count;
    }
    for (size_t i = 0; i < 4; ++i) out.Bytes()[countAt + i] = static_cast<char>(count >> (8 * i));
    const auto checksum = ChecksumOf(out.Bytes());
    out.Put(checksum.data(), checksum.size());
    return std::move(out.Bytes());
}

Status SaveRememberedDigests(const std::string& path, const RememberedDigests& memory) {
    EnsureParentFolder(path);
    return ReplaceFileAtomically(path, SerializeRememberedDigests(memory));
}
