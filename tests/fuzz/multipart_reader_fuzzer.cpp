// The reader of multipart/byteranges answers and the members it feeds,
// against whatever a server may send: boundaries cut anywhere, bare LF,
// Content-Ranges that lie, overlap or were never asked for, parts longer
// than their range. Whatever the bytes, only asked bytes reach the sink,
// in ascending order and each once, and a member ends only with exactly its
// own bytes.
#include "transfer/multipart_reader.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {
void Require(bool condition) {
    if (!condition) std::abort();
}

// Checks every call against what a member may receive.
class CheckingReceiver final : public CMemberStream::Receiver {
public:
    explicit CheckingReceiver(size_t members) : written_(members), state_(members, State::Waiting) {}

    bool Begin(const PackMember& member) override {
        Require(state_[member.Item] == State::Waiting);
        state_[member.Item] = State::Begun;
        return true;
    }
    bool Write(const PackMember& member, std::string_view bytes) override {
        Require(state_[member.Item] == State::Begun && !bytes.empty());
        written_[member.Item] += bytes.size();
        Require(written_[member.Item] <= member.Length);
        return true;
    }
    bool End(const PackMember& member) override {
        Require(state_[member.Item] == State::Begun && written_[member.Item] == member.Length);
        state_[member.Item] = State::Ended;
        return true;
    }
    void Abandon(const PackMember& member) override {
        Require(state_[member.Item] == State::Begun);
        state_[member.Item] = State::Abandoned;
    }

private:
    enum class State { Waiting, Begun, Ended, Abandoned };
    std::vector<uint64_t> written_;
    std::vector<State> state_;
};
}  // namespace

// The first bytes choose the ranges asked (each a gap and a length), where
// members split them and the piece size; the rest is the answer's body,
// whose boundary is "B0UND".
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t count = 1 + data[0] % 8;
    const size_t piece = 1 + data[1] % 64;
    if (size < 2 + 3 * count) return 0;
    std::vector<ByteRange> asked;
    std::vector<PackMember> members;
    uint64_t offset = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* range = data + 2 + 3 * i;
        const uint64_t first = offset + range[0] % 64;
        const uint64_t length = 1 + range[1];
        asked.push_back({first, first + length - 1});
        // Each range holds one member, or two when its third byte splits it.
        const uint64_t split = range[2] % length;
        if (split == 0) {
            members.push_back({first, length, members.size()});
        } else {
            members.push_back({first, split, members.size()});
            members.push_back({first + split, length - split, members.size()});
        }
        offset = first + length;  // a gap of 0 makes the next range touch this one
    }
    const std::string_view body(reinterpret_cast<const char*>(data) + 2 + 3 * count, size - 2 - 3 * count);

    CheckingReceiver receiver(members.size());
    CMemberStream stream(members, receiver);
    uint64_t next = 0;
    uint64_t delivered = 0;
    CMultipartReader reader("B0UND", asked, [&](uint64_t at, std::string_view bytes) {
        Require(at >= next && CoversOnlyAsked(asked, {at, at + bytes.size() - 1}));
        next = at + bytes.size();
        delivered += bytes.size();
        return stream.Feed(at, bytes);
    });
    MultipartStatus status = MultipartStatus::NeedsMore;
    for (size_t at = 0; at < body.size() && status == MultipartStatus::NeedsMore; at += piece) {
        status = reader.Feed(body.substr(at, piece));
    }
    status = reader.Finish();
    stream.Close();
    uint64_t askedBytes = 0;
    for (const ByteRange& range : asked) askedBytes += range.Last - range.First + 1;
    Require(delivered <= askedBytes);
    Require(status != MultipartStatus::Finished || reader.Parts() > 0);
    return 0;
}
