#pragma once
// Where a patch's bytes come from and where its result goes: a source read
// at any offset (the patch, whose three streams are read side by side, and
// the base, read where the instructions point) and a sink written front to
// back. Files on disk, or memory in tests.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

struct IoStatus {
    bool Ok = true;
    uint32_t OsError = 0;  // the system's code when not Ok; 0 when the file was shorter than it said

    static IoStatus Success() { return {}; }
    static IoStatus Failure(uint32_t osError) { return {false, osError}; }
};

class CRandomAccessSource {
public:
    virtual ~CRandomAccessSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly count bytes at offset; offset + count <= Size().
    virtual IoStatus ReadAt(uint64_t offset, uint8_t* buffer, size_t count) = 0;
};

class CByteSink {
public:
    virtual ~CByteSink() = default;
    virtual IoStatus Write(const uint8_t* bytes, size_t count) = 0;
};

class CMemorySource final : public CRandomAccessSource {
public:
    explicit CMemorySource(std::string_view bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    IoStatus ReadAt(uint64_t offset, uint8_t* buffer, size_t count) override {
        if (offset > bytes_.size() || count > bytes_.size() - offset) return IoStatus::Failure(0);
        std::memcpy(buffer, bytes_.data() + offset, count);
        return IoStatus::Success();
    }

private:
    std::string_view bytes_;
};

class CMemorySink final : public CByteSink {
public:
    IoStatus Write(const uint8_t* bytes, size_t count) override {
        bytes_.append(reinterpret_cast<const char*>(bytes), count);
        return IoStatus::Success();
    }
    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
};
