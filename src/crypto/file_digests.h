#pragma once
// Digests of a file's bytes as lowercase hexadecimal text (as md5sum and
// sha256sum print them), from one read of the file.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct FileDigests {
    std::string Md5;     // 32 digits
    std::string Sha256;  // 64 digits; empty unless asked for
};

// False (and both digests empty) when the path is no regular file that can
// be read to its end, or the system's SHA-256 could not be used.
bool DigestFile(const std::string& path, bool withSha256, FileDigests& digests);

// The same digests of a file's bytes as they are written, each piece with
// its offset in the file: a piece at offset 0 starts afresh, one anywhere
// but right after the last spoils them (a download that continued an
// earlier one's bytes), so that a file seen whole need not be read again.
class CWrittenDigests {
public:
    explicit CWrittenDigests(bool withSha256);
    ~CWrittenDigests();
    CWrittenDigests(const CWrittenDigests&) = delete;
    CWrittenDigests& operator=(const CWrittenDigests&) = delete;

    void Add(uint64_t offset, std::string_view bytes);
    // The digests of the bytes seen, when they are all `size` bytes of the
    // file; they are spent then, until a piece at offset 0 comes again.
    std::optional<FileDigests> Of(uint64_t size);

private:
    struct Streams;
    bool withSha256_;
    std::unique_ptr<Streams> streams_;  // none: nothing usable seen
    uint64_t next_ = 0;
};

class CMD5 {
public:
    // 32 lowercase hexadecimal digits of the file's MD5, streamed in large
    // blocks. Returns 0 on success; otherwise -1 and an empty digest.
    static int32_t GetFileMD5(const std::string& path, std::string& digest);
};
