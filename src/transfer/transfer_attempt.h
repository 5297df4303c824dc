#pragma once
// One request of a file to one server, as the transfer reports it to an
// optional observer (a run log): which server, which file, how it ended.
// A file may take several attempts: the next server after a failure, one
// more try on a fresh connection, or a restart without Range.
#include "base/failure.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// What a server answered to a request for byte ranges of a pack.
enum class RangeAnswer {
    ManyParts,       // 206 multipart/byteranges
    OnePart,         // 206 with the one range asked
    FirstRangeOnly,  // 206 with the first of several ranges asked
    WholeFile,       // 200 with the whole pack
    TooManyRanges,   // 400, 413, 416 or 431 to several ranges
    NoRanges,        // 416 to one range, 501 or any other answer that serves none
};

// How the run fetches a pack's files from that server from then on.
enum class PackRoute {
    Ranges,        // up to MaxRanges ranges per request
    WholePack,     // the whole pack, since most of it is wanted
    OnTheirOwn,    // each file with a request of its own
};

// What the answer to one request taught the run about a server: normally
// its first request for a pack, and again only when a later answer changes
// the route (a server that refuses that many ranges, say).
struct RangeLesson {
    RangeAnswer Answer = RangeAnswer::NoRanges;
    uint32_t HttpStatus = 0;
    size_t RangesAsked = 0;  // 0: the request asked for the whole pack
    PackRoute Route = PackRoute::OnTheirOwn;
    size_t MaxRanges = 0;  // for PackRoute::Ranges
};

enum class AttemptEnd {
    Fetched,    // the whole file is in place
    Failed,     // Why says why
    Cancelled,  // stopped by the caller, or no longer needed
};

struct TransferAttempt {
    std::string Server;      // ServerName() of the server asked
    std::string RemoteName;  // as the manifest lists it (GBK)
    AttemptEnd End = AttemptEnd::Fetched;
    Failure Why = {};         // for a failed attempt
    uint64_t Bytes = 0;       // body bytes received by this attempt
    bool Resumed = false;     // continued a partial download (206)
    // The attempt at a file's converted form (transfer_win.h) that decided
    // it: fetched, the file was made from it; failed, the file is asked for
    // in its other forms next.
    bool Converted = false;
    // A request for byte ranges of a pack (RemoteName): how many it asked
    // (0: the whole pack), how many of its files arrived whole, and what it
    // taught about the server, if anything.
    size_t Ranges = 0;
    size_t FilesArrived = 0;
    std::optional<RangeLesson> Lesson = std::nullopt;
    // A file that came in a pack (RemoteName is the file's): the pack's name.
    std::string Pack = {};
};

// Called on the transferring threads, one call at a time.
using AttemptObserver = std::function<void(const TransferAttempt&)>;
