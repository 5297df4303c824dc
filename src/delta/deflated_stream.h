#pragma once
// One zlib stream of a patch as the maker writes it: bytes go in as they
// come and are compressed a block at a time, so that only the compressed
// form is held.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class CDeflatedStream {
public:
    CDeflatedStream();
    ~CDeflatedStream();
    CDeflatedStream(const CDeflatedStream&) = delete;
    CDeflatedStream& operator=(const CDeflatedStream&) = delete;

    void Append(const uint8_t* bytes, size_t count);
    void Append(const std::string& bytes) { Append(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()); }
    // Ends the stream; the compressed bytes. Throws std::bad_alloc when
    // zlib ran out of memory at any point.
    const std::string& Finish();
    uint64_t DecodedBytes() const { return decoded_; }

private:
    void Compress(bool last);

    struct ZStream;
    std::unique_ptr<ZStream> z_;
    std::string pending_;
    std::string compressed_;
    uint64_t decoded_ = 0;
};
