#include "transfer/pack_schedule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
const std::string kPack = "packs/0123456789abcdef0123456789abcdef.pack";
const auto kNeverCancelled = [](size_t) { return false; };

// `count` members of `size` bytes with `gap` bytes between them; items 0..count-1.
std::vector<PackedFile> Members(size_t count, uint64_t size, uint64_t gap = 0) {
    std::vector<PackedFile> members;
    for (size_t i = 0; i < count; ++i) members.push_back({i, kPack, i * (size + gap), size});
    return members;
}

std::vector<size_t> Items(const PackRequest& request) {
    std::vector<size_t> items;
    for (const PackMember& member : request.Plan.Members) items.push_back(member.Item);
    return items;
}

TEST(RangePlanTest, NeighboursShareARangeWithinTheLimitsOfOneRequest) {
    const std::vector<PackMember> members = {{0, 10, 0}, {15, 10, 1}, {100, 10, 2}, {200, 10, 3}, {300, 10, 4}};
    PlannedRanges plan = PlanRanges(members, {100, 4096, 5, 0});
    ASSERT_EQ(plan.Ranges.size(), 4u);  // 0-24 joined across a gap of 5
    EXPECT_EQ(plan.Ranges[0].Last, 24u);
    EXPECT_EQ(RangeHeaderValue(plan.Ranges), "bytes=0-24,100-109,200-209,300-309");
    EXPECT_EQ(PlanRanges(members, {2, 4096, 5, 0}).Members.size(), 3u);                     // two ranges
    EXPECT_EQ(PlanRanges(members, {100, 4096, 5, 25}).Members.size(), 2u);                  // enough bytes
    EXPECT_EQ(PlanRanges(members, {100, 13 + 2 + 4 + 8 + 8, 5, 0}).Members.size(), 4u);     // three in the line
    EXPECT_EQ(PlanRanges(members, {100, 1, 5, 0}).Members.size(), 1u);                      // always one
    EXPECT_TRUE(CoversOnlyAsked({{0, 9}, {10, 19}}, {5, 15}));
    EXPECT_FALSE(CoversOnlyAsked({{0, 9}, {11, 19}}, {5, 15}));
}

// The first request for a pack goes alone: until its answer is in, the
// other threads take files on their own or wait; what it teaches holds.
TEST(PackScheduleTest, TheFirstAnswerTeachesTheRouteWhileTheOthersWait) {
    // Item 0 is no member: it goes on its own even while the pack is probed.
    std::vector<PackedFile> packed = Members(6, 100 * 1024, 20 * 1024);
    packed.erase(packed.begin());
    CPackSchedule schedule(6, packed, 1, 2);
    const ScheduledWork file = schedule.Take(0, kNeverCancelled);
    ASSERT_EQ(file.What, ScheduledWork::Kind::File);
    EXPECT_EQ(file.Item, 0u);
    const ScheduledWork probe = schedule.Take(0, kNeverCancelled);
    ASSERT_EQ(probe.What, ScheduledWork::Kind::Pack);
    EXPECT_EQ(Items(probe.Request), (std::vector<size_t>{1, 2, 3}));  // 300 KiB: about half each
    size_t asked = 0;
    EXPECT_EQ(schedule.Take(0, [&](size_t) { return ++asked > 3; }).What, ScheduledWork::Kind::Done);

    // Only the first range came: one range per request from now on.
    const CPackSchedule::Answer answer = schedule.Answered(probe.Request, RangeAnswer::FirstRangeOnly, 206, {});
    ASSERT_TRUE(answer.Lesson);
    EXPECT_EQ(answer.Lesson->Route, PackRoute::Ranges);
    EXPECT_EQ(answer.Lesson->MaxRanges, 1u);
    schedule.Delivered(probe.Request, 1);
    schedule.Finished(probe.Request);
    const ScheduledWork rest = schedule.Take(0, kNeverCancelled);
    EXPECT_EQ(rest.Request.Plan.Ranges.size(), 1u);  // members 20 KiB apart share one range now
    EXPECT_EQ(Items(rest.Request), (std::vector<size_t>{2, 3, 4}));
}

TEST(PackScheduleTest, WhatAServerCannotGiveGoesOnItsOwnAndACutAnswerIsAskedForOnlyTheRest) {
    struct Case { RangeAnswer answer; uint64_t packLength; size_t ranges; bool packAgain; };
    const Case cases[] = {
        {RangeAnswer::NoRanges, 0, 0, false},                 // 501: every member on its own
        {RangeAnswer::WholeFile, 10 * 1024 * 1024, 0, false},  // the whole pack, mostly not wanted
        {RangeAnswer::TooManyRanges, 0, 2, true},             // 413 to several ranges: half as many
    };
    for (const Case& c : cases) {
        CPackSchedule schedule(5, Members(5, 1000, 20 * 1024), 1, 1);
        const ScheduledWork probe = schedule.Take(0, kNeverCancelled);
        ASSERT_EQ(probe.Request.Plan.Ranges.size(), 5u);
        EXPECT_TRUE(schedule.Answered(probe.Request, c.answer, 0, c.packLength).Members.empty());
        schedule.Finished(probe.Request);
        const ScheduledWork next = schedule.Take(0, kNeverCancelled);
        EXPECT_EQ(next.What == ScheduledWork::Kind::Pack, c.packAgain);
        EXPECT_EQ(next.Request.Plan.Ranges.size(), c.ranges);
    }

    // Two of three members arrived before the answer broke off.
    CPackSchedule schedule(3, Members(3, 1000, 20 * 1024), 1, 1);
    const ScheduledWork first = schedule.Take(0, kNeverCancelled);
    EXPECT_EQ(schedule.Answered(first.Request, RangeAnswer::ManyParts, 206, {}).Members.size(), 3u);
    schedule.Delivered(first.Request, 0);
    schedule.OnItsOwn(first.Request, 1);  // arrived other than listed
    schedule.Finished(first.Request);
    const ScheduledWork alone = schedule.Take(0, kNeverCancelled);
    EXPECT_EQ(alone.What, ScheduledWork::Kind::File);
    EXPECT_EQ(alone.Item, 1u);
    const ScheduledWork rest = schedule.Take(0, kNeverCancelled);
    EXPECT_EQ(Items(rest.Request), std::vector<size_t>{2});
    // A request that brought nothing from the only server: its members go on their own.
    schedule.Finished(rest.Request);
    EXPECT_EQ(schedule.Take(0, kNeverCancelled).Item, 2u);
    EXPECT_EQ(schedule.Take(0, kNeverCancelled).What, ScheduledWork::Kind::Done);
}

TEST(PackScheduleTest, AWholePackThatIsMostlyWantedCarriesEveryMemberStillWanted) {
    CPackSchedule schedule(4, Members(4, 100 * 1024), 1, 4);
    const ScheduledWork probe = schedule.Take(0, kNeverCancelled);
    EXPECT_EQ(Items(probe.Request), (std::vector<size_t>{0}));
    const CPackSchedule::Answer answer = schedule.Answered(probe.Request, RangeAnswer::WholeFile, 200, 400 * 1024);
    EXPECT_EQ(answer.Members.size(), 4u);
    ASSERT_TRUE(answer.Lesson);
    EXPECT_EQ(answer.Lesson->Route, PackRoute::WholePack);
    for (size_t item = 0; item < 3; ++item) schedule.Delivered(probe.Request, item);
    schedule.Finished(probe.Request);
    // One member of four left: not worth the whole pack again.
    const ScheduledWork last = schedule.Take(0, kNeverCancelled);
    EXPECT_EQ(last.What, ScheduledWork::Kind::File);
    EXPECT_EQ(last.Item, 3u);
}
}  // namespace
