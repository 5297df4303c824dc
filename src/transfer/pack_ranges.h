#pragma once
// Files inside a pack and the byte ranges of the pack that carry them: the
// ranges one request asks for, whether an answer's range is one that was
// asked, and which file each byte of an answer belongs to.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Bytes First to Last of a file, both included, as Range and Content-Range count them.
struct ByteRange {
    uint64_t First = 0;
    uint64_t Last = 0;
};

// A file the pack holds: Length (one or more) bytes at Offset. Item is the
// caller's number for it.
struct PackMember {
    uint64_t Offset = 0;
    uint64_t Length = 0;
    size_t Item = 0;

    uint64_t End() const { return Offset + Length; }
};

// What one request may ask for. Servers and proxies refuse a request with
// too many ranges or too long a header line (nginx's max_ranges, a CDN's
// header limit), and every range costs a part's headers in the answer.
struct RangeLimits {
    size_t MaxRanges = 100;
    size_t MaxHeaderBytes = 4096;  // the whole "Range: bytes=...\r\n" line
    // Members this close are asked as one range: the bytes between them cost
    // less than another range (or, from a server that answers one range per
    // request, another round trip).
    uint64_t JoinGap = 16 * 1024;
    // Members are added while the request carries less than this (0: no
    // limit), so that several requests share the members among connections.
    uint64_t TargetBytes = 0;
};

struct PlannedRanges {
    std::vector<ByteRange> Ranges;    // ascending, more than JoinGap apart
    std::vector<PackMember> Members;  // the members they carry, ascending
};

// The request for the first of `members` (ascending by offset, none
// overlapping the next) and as many after it as the limits allow; never
// empty when `members` is not.
PlannedRanges PlanRanges(const std::vector<PackMember>& members, const RangeLimits& limits);

// "bytes=0-99,200-299": the value of the Range header for the ranges.
std::string RangeHeaderValue(const std::vector<ByteRange>& ranges);

// Whether `part` lies within the bytes asked (ascending ranges): inside one
// of them, or inside neighbours that touch, which a server may merge.
bool CoversOnlyAsked(const std::vector<ByteRange>& asked, const ByteRange& part);

// Hands an answer's bytes, as offsets of the pack in ascending order, to the
// members they belong to, each member from its first byte to its last.
// Bytes of no member are passed over; a member whose bytes do not arrive
// in one run from its first is abandoned and never ends.
class CMemberStream {
public:
    class Receiver {
    public:
        virtual ~Receiver() = default;
        // Each returns false when the member cannot be taken (a local file
        // failed): the stream then stops.
        virtual bool Begin(const PackMember& member) = 0;
        virtual bool Write(const PackMember& member, std::string_view bytes) = 0;
        virtual bool End(const PackMember& member) = 0;
        virtual void Abandon(const PackMember& member) = 0;
    };

    // `members` ascending by offset, none overlapping the next.
    CMemberStream(std::vector<PackMember> members, Receiver& receiver)
        : members_(std::move(members)), receiver_(receiver) {}

    // False when the receiver said stop.
    bool Feed(uint64_t offset, std::string_view bytes);
    // The answer is over: a member begun but not ended is abandoned.
    void Close();

private:
    bool Next(bool abandon);

    std::vector<PackMember> members_;
    Receiver& receiver_;
    size_t current_ = 0;
    uint64_t written_ = 0;  // of the current member, once begun
    bool begun_ = false;
    uint64_t position_ = 0;  // the next offset the answer may carry
};
