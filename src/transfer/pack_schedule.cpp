#include "transfer/pack_schedule.h"

#include "transfer/ordered_jobs.h"

#include <algorithm>
#include <chrono>

namespace {
bool ByOffset(const PackMember& a, const PackMember& b) { return a.Offset < b.Offset; }

void InsertInOrder(std::vector<PackMember>& members, const PackMember& member) {
    members.insert(std::lower_bound(members.begin(), members.end(), member, ByOffset), member);
}
}  // namespace

CPackSchedule::CPackSchedule(size_t items, std::vector<PackedFile> packed, size_t servers, size_t threads)
    : servers_(std::max<size_t>(servers, 1)), misses_(items) {
    std::vector<bool> inPack(items);
    uint64_t total = 0;
    for (const PackedFile& file : packed) {
        const size_t pack = PackOf(file.Pack);
        if (pack == packNames_.size()) {
            packNames_.push_back(file.Pack);
            unclaimed_.emplace_back();
        }
        unclaimed_[pack].push_back({file.Offset, file.Length, file.Item});
    }
    for (std::vector<PackMember>& members : unclaimed_) {
        std::stable_sort(members.begin(), members.end(), ByOffset);
        // A listing whose members overlap is no pack the publisher wrote:
        // those files go on their own.
        uint64_t end = 0;
        std::erase_if(members, [&](const PackMember& member) {
            const bool overlaps = member.Offset < end;
            end = std::max(end, member.End());
            return overlaps;
        });
        for (const PackMember& member : members) {
            inPack[member.Item] = true;
            total += member.Length;
        }
    }
    for (size_t item = 0; item < items; ++item) {
        if (!inPack[item]) alone_.insert(item);
    }
    target_ = std::clamp<uint64_t>(total / std::max<size_t>(threads, 1), kMinRequestBytes, kMaxRequestBytes);
}

size_t CPackSchedule::PackOf(const std::string& name) const {
    return static_cast<size_t>(std::find(packNames_.begin(), packNames_.end(), name) - packNames_.begin());
}

uint64_t CPackSchedule::WantedBytes(size_t pack, const Taken& taken) const {
    uint64_t bytes = 0;
    for (const PackMember& member : unclaimed_[pack]) bytes += member.Length;
    for (const PackMember& member : taken.members) bytes += member.Length;
    return bytes;
}

void CPackSchedule::GoOnTheirOwn(size_t pack) {
    for (const PackMember& member : unclaimed_[pack]) alone_.insert(member.Item);
    unclaimed_[pack].clear();
}

void CPackSchedule::TakeWhole(size_t pack, Taken& taken) {
    for (const PackMember& member : unclaimed_[pack]) InsertInOrder(taken.members, member);
    unclaimed_[pack].clear();
}

ScheduledWork CPackSchedule::Take(size_t server, const std::function<bool(size_t item)>& cancelled) {
    std::unique_lock<std::mutex> hold(mutex_);
    for (;;) {
        if (cancelled(0)) return {};
        const Server& state = servers_[server];
        std::optional<size_t> pack;
        for (size_t p = 0; p < unclaimed_.size(); ++p) {
            if (unclaimed_[p].empty()) continue;
            if (state.learned == Server::Learned::NoRanges) {
                GoOnTheirOwn(p);
            } else if (!pack || unclaimed_[p].front().Item < unclaimed_[*pack].front().Item) {
                pack = p;
            }
        }
        const bool fileFirst = !alone_.empty() && (!pack || *alone_.begin() < unclaimed_[*pack].front().Item);
        if (cancelled(fileFirst ? *alone_.begin() : pack ? unclaimed_[*pack].front().Item : 0)) return {};
        if (pack && !fileFirst && !state.probing) {
            if (std::optional<PackRequest> request = Plan(server, *pack)) {
                return {ScheduledWork::Kind::Pack, 0, std::move(*request)};
            }
            continue;
        }
        if (!alone_.empty()) {
            const size_t item = *alone_.begin();
            alone_.erase(alone_.begin());
            return {ScheduledWork::Kind::File, item, {}};
        }
        if (!pack && taken_.empty()) return {};
        changed_.wait_for(hold, std::chrono::milliseconds(kPollMillis));
    }
}

std::optional<PackRequest> CPackSchedule::Plan(size_t server, size_t pack) {
    Server& state = servers_[server];
    PackRequest request;
    request.Id = nextId_++;
    request.Server = server;
    request.Pack = packNames_[pack];
    Taken taken;
    if (state.learned == Server::Learned::WholePack) {
        if (WantedBytes(pack, taken) * 2 <= state.packLength) {
            GoOnTheirOwn(pack);
            return std::nullopt;
        }
        request.Whole = true;
        TakeWhole(pack, taken);
        request.Plan.Members = taken.members;
    } else {
        const uint64_t gap = state.maxRanges == 1 ? kOneRangeGap : kManyRangesGap;
        request.Plan = PlanRanges(unclaimed_[pack], {state.maxRanges, RangeLimits{}.MaxHeaderBytes, gap, target_});
        std::vector<PackMember>& members = unclaimed_[pack];
        members.erase(members.begin(), members.begin() + static_cast<ptrdiff_t>(request.Plan.Members.size()));
        taken.members = request.Plan.Members;
        // Whether a server merges or splits several ranges only shows when
        // it is asked for several.
        taken.probe = state.learned == Server::Learned::Nothing ||
                      (request.Plan.Ranges.size() > 1 && !state.manyPartsSeen);
        state.probing = taken.probe;
    }
    taken_.emplace(request.Id, std::move(taken));
    return request;
}

CPackSchedule::Answer CPackSchedule::Answered(const PackRequest& request, RangeAnswer answer, uint32_t httpStatus,
                                              std::optional<uint64_t> packLength) {
    const std::lock_guard<std::mutex> hold(mutex_);
    Taken& taken = taken_.at(request.Id);
    Server& state = servers_[request.Server];
    const Server before = state;
    taken.answered = true;
    if (taken.probe) state.probing = false;
    const size_t ranges = request.Whole ? 0 : request.Plan.Ranges.size();
    Answer result;
    switch (answer) {
    case RangeAnswer::ManyParts:
        state.manyPartsSeen = true;
        [[fallthrough]];
    case RangeAnswer::OnePart:
        state.learned = Server::Learned::Ranges;
        result.Members = taken.members;
        break;
    case RangeAnswer::FirstRangeOnly:
        state.learned = Server::Learned::Ranges;
        state.maxRanges = 1;
        result.Members = taken.members;
        break;
    case RangeAnswer::WholeFile: {
        const size_t pack = PackOf(request.Pack);
        // Most of the pack wanted: cheaper whole than file by file.
        if (packLength && (request.Whole || WantedBytes(pack, taken) * 2 > *packLength)) {
            state.learned = Server::Learned::WholePack;
            state.packLength = *packLength;
            TakeWhole(pack, taken);
            result.Members = taken.members;
        } else {
            state.learned = Server::Learned::NoRanges;
        }
        break;
    }
    case RangeAnswer::TooManyRanges:
        taken.learning = ranges > 1;
        if (taken.learning) {
            state.maxRanges = std::max<size_t>(1, ranges / 2);
        } else {
            state.learned = Server::Learned::NoRanges;
        }
        break;
    case RangeAnswer::NoRanges:
        state.learned = Server::Learned::NoRanges;
        break;
    }
    result.Lesson = LessonOf(before, state, answer, httpStatus, ranges);
    changed_.notify_all();
    return result;
}

std::optional<RangeLesson> CPackSchedule::LessonOf(const Server& before, const Server& after, RangeAnswer answer,
                                                   uint32_t httpStatus, size_t ranges) const {
    const auto routeOf = [](const Server& server) {
        switch (server.learned) {
        case Server::Learned::WholePack: return PackRoute::WholePack;
        case Server::Learned::NoRanges: return PackRoute::OnTheirOwn;
        case Server::Learned::Nothing:
        case Server::Learned::Ranges: break;
        }
        return PackRoute::Ranges;
    };
    const bool first = before.learned == Server::Learned::Nothing && before.maxRanges == RangeLimits{}.MaxRanges;
    if (!first && routeOf(before) == routeOf(after) && before.maxRanges == after.maxRanges) return std::nullopt;
    return RangeLesson{answer, httpStatus, ranges, routeOf(after), after.maxRanges};
}

void CPackSchedule::Delivered(const PackRequest& request, size_t item) {
    const std::lock_guard<std::mutex> hold(mutex_);
    Taken& taken = taken_.at(request.Id);
    taken.settled.insert(item);
    ++taken.delivered;
}

void CPackSchedule::OnItsOwn(const PackRequest& request, size_t item) {
    const std::lock_guard<std::mutex> hold(mutex_);
    taken_.at(request.Id).settled.insert(item);
    alone_.insert(item);
    changed_.notify_all();
}

void CPackSchedule::Finished(const PackRequest& request) {
    const std::lock_guard<std::mutex> hold(mutex_);
    auto node = taken_.extract(request.Id);
    const Taken& taken = node.mapped();
    Server& state = servers_[request.Server];
    if (taken.probe && !taken.answered) state.probing = false;
    const size_t pack = PackOf(request.Pack);
    for (const PackMember& member : taken.members) {
        if (taken.settled.count(member.Item)) continue;
        // A request that brought something, or that only taught to ask for
        // fewer ranges, is no reason to give up on the rest.
        const bool again = state.learned != Server::Learned::NoRanges &&
                           (taken.delivered > 0 || taken.learning || ++misses_[member.Item] < servers_.size());
        if (again) {
            InsertInOrder(unclaimed_[pack], member);
        } else {
            alone_.insert(member.Item);
        }
    }
    changed_.notify_all();
}
