#pragma once
// Where a patch's bytes come from and where its result goes: a source read
// at any offset (the patch, whose three streams are read side by side, and
// the base, read where the instructions point) and a sink written front to
// back. Files on disk, or memory in tests.
#include "base/failure.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// A source that turns out shorter than its size said (a file cut meanwhile).
inline Failure EndedEarly() { return {FailureKind::LocalIo, 0, 0, "the file ended before its size"}; }

class CRandomAccessSource {
public:
    virtual ~CRandomAccessSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly count bytes at offset; offset + count <= Size().
    virtual Status ReadAt(uint64_t offset, uint8_t* buffer, size_t count) = 0;
};

class CByteSink {
public:
    virtual ~CByteSink() = default;
    virtual Status Write(const uint8_t* bytes, size_t count) = 0;
};

class CMemorySource final : public CRandomAccessSource {
public:
    explicit CMemorySource(std::string_view bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    Status ReadAt(uint64_t offset, uint8_t* buffer, size_t count) override {
        if (offset > bytes_.size() || count > bytes_.size() - offset) return EndedEarly();
        std::memcpy(buffer, bytes_.data() + offset, count);
        return {};
    }

private:
    std::string_view bytes_;
};

class CMemorySink final : public CByteSink {
public:
    Status Write(const uint8_t* bytes, size_t count) override {
        bytes_.append(reinterpret_cast<const char*>(bytes), count);
        return {};
    }
    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
};
