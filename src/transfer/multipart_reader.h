#pragma once
// The body of a 206 answer to a request for several byte ranges of a file
// ("multipart/byteranges", RFC 9110 section 14.6), read as it streams: a
// delimiter line, each part's headers with its Content-Range, its bytes
// handed on with their offsets in the file, and the close delimiter.
//
// Strict where a server's answer could do harm, lenient where servers
// differ harmlessly:
//  - lines end with CRLF or a bare LF (some caches rewrite line ends), and
//    a delimiter line may carry blanks after the boundary;
//  - each part's Content-Range lies within the bytes asked (one range, or
//    touching ones that the server merged) and after the part before it:
//    no part is larger than asked, none comes twice;
//  - a part's body is exactly as long as its Content-Range says and is
//    followed by the next delimiter, so that a length that lies shows at once;
//  - lines, a part's headers and the preamble are bounded, and nothing is
//    kept but the current line: memory stays the same whatever the server
//    sends.
#include "transfer/pack_ranges.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class MultipartStatus {
    NeedsMore,  // fine so far
    Finished,   // the close delimiter came; what follows is ignored
    Malformed,  // Why() says what: the answer is of no further use
    Stopped,    // the sink said stop
};

// The boundary of a "multipart/byteranges; boundary=..." Content-Type;
// nothing for another type, or a boundary that RFC 2046 would not allow.
std::optional<std::string> ByteRangesBoundary(std::string_view contentType);

class CMultipartReader {
public:
    // Receives each part's bytes with the offset of their first in the
    // file; false stops the reading.
    using Sink = std::function<bool(uint64_t offset, std::string_view bytes)>;

    // `asked`: the ranges of the request, ascending.
    CMultipartReader(std::string boundary, std::vector<ByteRange> asked, Sink sink);

    MultipartStatus Feed(std::string_view bytes);
    // The body is over: Finished only after the close delimiter.
    MultipartStatus Finish();

    const char* Why() const { return why_; }
    size_t Parts() const { return parts_; }

private:
    enum class State { Preamble, Headers, Body, AfterBody, Delimiter, Finished, Failed };

    MultipartStatus Fail(const char* why);
    MultipartStatus Line(std::string_view line);
    MultipartStatus Header(std::string_view line);
    MultipartStatus StartBody();
    // "--boundary" (false) or "--boundary--" (true); nothing for another line.
    std::optional<bool> Delimiter(std::string_view line) const;

    const std::string boundary_;
    const std::vector<ByteRange> asked_;
    Sink sink_;
    State state_ = State::Preamble;
    MultipartStatus status_ = MultipartStatus::NeedsMore;
    const char* why_ = "";
    std::string line_;
    size_t preambleBytes_ = 0;
    size_t headerBytes_ = 0;
    std::optional<ByteRange> range_;  // of the part whose headers are read
    std::optional<uint64_t> total_;   // the file size the parts name
    std::optional<uint64_t> after_;   // the first offset the next part may start at
    uint64_t offset_ = 0;             // of the next body byte
    uint64_t left_ = 0;               // body bytes of the current part still to come
    size_t parts_ = 0;
};
