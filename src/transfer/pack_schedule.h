#pragma once
// Which request goes next when some of a batch's files lie in packs: a
// thread of the transfer takes the work for the first file in list order
// that can go now, either that file on its own or a request for byte
// ranges of its pack that carries it and the files after it. The first
// request to a server for a pack learns how it answers ranges (its
// headers suffice) while the other threads wait or fetch files on their
// own; the route it teaches holds for the rest of the run. Members a
// request did not bring are asked for again (only they: a cut answer keeps
// what arrived whole), and go on their own once the server cannot give
// them. Shared by the transfer's threads.
#include "transfer/pack_ranges.h"
#include "transfer/transfer_attempt.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

// A file of the batch (Item, its place in the list) that a pack holds.
struct PackedFile {
    size_t Item = 0;
    std::string Pack;
    uint64_t Offset = 0;
    uint64_t Length = 0;
};

struct PackRequest {
    size_t Id = 0;
    size_t Server = 0;
    std::string Pack;
    // The ranges and the members they carry; with Whole, no ranges: the
    // request asks for the whole pack.
    PlannedRanges Plan;
    bool Whole = false;
};

struct ScheduledWork {
    enum class Kind {
        Done,  // nothing is left to take
        File,  // Item on its own, by every route but its pack
        Pack,  // Request
    };
    Kind What = Kind::Done;
    size_t Item = 0;
    PackRequest Request;
};

class CPackSchedule {
public:
    // Requests carry at most this much each, and at least this little
    // unless the members end: enough for every connection to have a
    // share, not so much that one slow connection holds the batch up.
    static constexpr uint64_t kMinRequestBytes = 64 * 1024;
    static constexpr uint64_t kMaxRequestBytes = 8 * 1024 * 1024;
    // Members further apart than this are separate ranges; from a server
    // that answers one range per request a wider gap is worth its bytes.
    static constexpr uint64_t kManyRangesGap = 16 * 1024;
    static constexpr uint64_t kOneRangeGap = 256 * 1024;

    // `items` files in list order; `packed` those that packs hold, each
    // pack's members in ascending order of offset and not overlapping.
    CPackSchedule(size_t items, std::vector<PackedFile> packed, size_t servers, size_t threads);

    // The work for the first file in list order that can go now to
    // `server` (the one the run prefers at the moment). Waits while every
    // file is taken or waits for a server's first answer and a request
    // under way may still give work back. Done once nothing is left, or
    // once `cancelled` says that the first file that could go is no longer
    // wanted (nor, then, any after it); `cancelled(0)` is asked while it waits.
    ScheduledWork Take(size_t server, const std::function<bool(size_t item)>& cancelled);

    struct Answer {
        std::vector<PackMember> Members;  // to take from the answer's body; none: it is not read
        std::optional<RangeLesson> Lesson;
    };
    // The answer's headers are in: what they teach about the server, and
    // the members to take from its body (for a whole pack that is worth it,
    // every member of the pack still wanted).
    Answer Answered(const PackRequest& request, RangeAnswer answer, uint32_t httpStatus,
                    std::optional<uint64_t> packLength);
    // A member of the request arrived and passed its check.
    void Delivered(const PackRequest& request, size_t item);
    // A member that arrived other than listed, or that could not be stored:
    // fetched on its own.
    void OnItsOwn(const PackRequest& request, size_t item);
    // The request ended: its members that neither arrived nor went on their
    // own are asked for again, or on their own once every server failed for
    // them without bringing anything.
    void Finished(const PackRequest& request);

private:
    struct Server {
        enum class Learned { Nothing, Ranges, WholePack, NoRanges };
        Learned learned = Learned::Nothing;
        bool probing = false;       // a request that will teach it is under way
        bool manyPartsSeen = false;  // it answered several ranges with several parts
        size_t maxRanges = RangeLimits{}.MaxRanges;
        uint64_t packLength = 0;    // from its answer with the whole pack
    };
    struct Taken {
        std::vector<PackMember> members;
        std::set<size_t> settled;  // delivered or gone on their own
        bool probe = false;
        bool answered = false;
        bool learning = false;  // answered with fewer ranges to try: no fault of the members
        size_t delivered = 0;
    };

    std::optional<PackRequest> Plan(size_t server, size_t pack);
    void TakeWhole(size_t pack, Taken& taken);
    void GoOnTheirOwn(size_t pack);
    std::optional<RangeLesson> LessonOf(const Server& before, const Server& after, RangeAnswer answer,
                                        uint32_t httpStatus, size_t ranges) const;
    uint64_t WantedBytes(size_t pack, const Taken& taken) const;
    size_t PackOf(const std::string& name) const;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> packNames_;
    std::vector<std::vector<PackMember>> unclaimed_;  // per pack, ascending by offset
    std::set<size_t> alone_;                          // items to fetch on their own
    std::vector<Server> servers_;
    std::map<size_t, Taken> taken_;                   // by request id
    std::vector<unsigned> misses_;                    // per item: requests that brought nothing
    size_t nextId_ = 1;
    uint64_t target_ = kMinRequestBytes;
};
