#include "transfer/pack_ranges.h"

#include <algorithm>

namespace {
constexpr std::string_view kRangeHeaderName = "Range: bytes=";
constexpr std::string_view kLineEnd = "\r\n";

std::string RangeText(const ByteRange& range) {
    return std::to_string(range.First) + "-" + std::to_string(range.Last);
}
}  // namespace

PlannedRanges PlanRanges(const std::vector<PackMember>& members, const RangeLimits& limits) {
    PlannedRanges plan;
    size_t headerBytes = kRangeHeaderName.size() + kLineEnd.size();
    uint64_t carried = 0;
    for (const PackMember& member : members) {
        if (!plan.Members.empty() && limits.TargetBytes != 0 && carried >= limits.TargetBytes) break;
        ByteRange& last = plan.Ranges.empty() ? plan.Ranges.emplace_back() : plan.Ranges.back();
        const bool joins = !plan.Members.empty() && member.Offset <= last.Last + 1 + limits.JoinGap;
        if (joins) {
            const size_t longer = RangeText({last.First, member.End() - 1}).size() - RangeText(last).size();
            if (headerBytes + longer > limits.MaxHeaderBytes) break;
            headerBytes += longer;
            carried += member.End() - 1 - last.Last;
            last.Last = member.End() - 1;
        } else {
            const ByteRange range{member.Offset, member.End() - 1};
            const size_t text = RangeText(range).size() + (plan.Members.empty() ? 0 : 1);
            if (!plan.Members.empty() && (plan.Ranges.size() == limits.MaxRanges ||
                                          headerBytes + text > limits.MaxHeaderBytes)) {
                break;
            }
            headerBytes += text;
            carried += member.Length;
            if (plan.Members.empty()) {
                last = range;
            } else {
                plan.Ranges.push_back(range);
            }
        }
        plan.Members.push_back(member);
    }
    return plan;
}

std::string RangeHeaderValue(const std::vector<ByteRange>& ranges) {
    std::string value = "bytes=";
    for (const ByteRange& range : ranges) {
        if (&range != &ranges.front()) value += ',';
        value += RangeText(range);
    }
    return value;
}

bool CoversOnlyAsked(const std::vector<ByteRange>& asked, const ByteRange& part) {
    if (part.First > part.Last) return false;
    for (size_t i = 0; i < asked.size(); ++i) {
        if (part.First < asked[i].First || part.First > asked[i].Last) continue;
        // The run of touching ranges that starts with the one holding part.First.
        uint64_t runLast = asked[i].Last;
        for (size_t j = i + 1; j < asked.size() && asked[j].First <= runLast + 1; ++j) {
            runLast = std::max(runLast, asked[j].Last);
        }
        return part.Last <= runLast;
    }
    return false;
}

bool CMemberStream::Next(bool abandon) {
    if (begun_ && abandon) receiver_.Abandon(members_[current_]);
    ++current_;
    written_ = 0;
    begun_ = false;
    return true;
}

bool CMemberStream::Feed(uint64_t offset, std::string_view bytes) {
    // Bytes the answer already carried: passed over, never taken twice.
    if (offset < position_) {
        const uint64_t again = std::min<uint64_t>(position_ - offset, bytes.size());
        offset += again;
        bytes.remove_prefix(static_cast<size_t>(again));
    }
    while (!bytes.empty() && current_ < members_.size()) {
        const PackMember& member = members_[current_];
        if (offset >= member.End() || (begun_ && offset != member.Offset + written_) ||
            (!begun_ && offset > member.Offset)) {
            Next(true);  // the answer skipped some of its bytes
            continue;
        }
        if (offset < member.Offset) {
            const uint64_t gap = std::min<uint64_t>(member.Offset - offset, bytes.size());
            offset += gap;
            bytes.remove_prefix(static_cast<size_t>(gap));
            continue;
        }
        if (!begun_) {
            if (!receiver_.Begin(member)) return false;
            begun_ = true;
        }
        const size_t take = static_cast<size_t>(std::min<uint64_t>(member.End() - offset, bytes.size()));
        if (!receiver_.Write(member, bytes.substr(0, take))) return false;
        written_ += take;
        offset += take;
        bytes.remove_prefix(take);
        if (written_ == member.Length) {
            if (!receiver_.End(member)) return false;
            Next(false);
        }
    }
    position_ = std::max(position_, offset + bytes.size());
    return true;
}

void CMemberStream::Close() {
    if (current_ < members_.size()) Next(true);
}
