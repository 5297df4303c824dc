// The small rules of the transfer: the speed floor, the server preference,
// the pacing of reads, and the texts of continuing a download.
#include "transfer/range_resume.h"
#include "transfer/read_pacing.h"
#include "transfer/server_preference.h"
#include "transfer/speed_floor.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {
TEST(SpeedFloorTest, AWindowWithTooFewBytesFails) {
    // 1 KiB/s over 30 s: 30 KiB per window.
    CSpeedFloor floor(30000, 1024, 1000);
    EXPECT_EQ(floor.WindowEnd(), 31000u);
    EXPECT_TRUE(floor.Holds(0, 1000));
    EXPECT_TRUE(floor.Holds(29 * 1024, 30999)) << "the window has not ended yet";
    EXPECT_FALSE(floor.Holds(29 * 1024, 31000));

    // A byte every 8 s never trips an idle limit, but the floor.
    CSpeedFloor trickle(30000, 1024, 0);
    uint64_t received = 0, now = 0;
    while (trickle.Holds(received, now)) {
        now += 8000;
        received += 1;
        ASSERT_LT(now, 40000u) << "judged at the first look after the window";
    }
}

TEST(SpeedFloorTest, EachWindowIsJudgedOnItsOwn) {
    CSpeedFloor floor(30000, 1024, 0);
    EXPECT_TRUE(floor.Holds(31 * 1024, 30000));  // the first window held enough
    EXPECT_EQ(floor.WindowEnd(), 60000u);
    // A burst early on does not pay for a silent second window.
    EXPECT_TRUE(floor.Holds(31 * 1024, 59999));
    EXPECT_FALSE(floor.Holds(31 * 1024 + 100, 60000));
}

TEST(SpeedFloorTest, ALateLookJudgesTheTimeThatPassed) {
    CSpeedFloor floor(30000, 1024, 0);
    // 40 KiB in 45 s is under 1 KiB/s, though over 30 KiB.
    EXPECT_FALSE(floor.Holds(40 * 1024, 45000));
    CSpeedFloor enough(30000, 1024, 0);
    EXPECT_TRUE(enough.Holds(46 * 1024, 45000));
}

TEST(SpeedFloorTest, AWindowOfZeroIsNoFloor) {
    CSpeedFloor floor(0, 1024, 0);
    EXPECT_TRUE(floor.Holds(0, 1000000000));
}

TEST(ServerPreferenceTest, AFailedPreferredServerGoesLastForTheRestOfTheRun) {
    CServerPreference preference(3);
    EXPECT_EQ(preference.Order(), (std::vector<size_t>{0, 1, 2}));
    preference.Demote(1);  // not the preferred one: no change
    EXPECT_EQ(preference.Order(), (std::vector<size_t>{0, 1, 2}));
    preference.Demote(0);
    EXPECT_EQ(preference.Order(), (std::vector<size_t>{1, 2, 0}));
    preference.Demote(2);
    preference.Demote(1);
    preference.Demote(2);
    EXPECT_EQ(preference.Order(), (std::vector<size_t>{0, 1, 2})) << "wraps around";
}

TEST(ServerPreferenceTest, ManyThreadsSeeingTheSameFailureMoveItOnce) {
    CServerPreference preference(2);
    std::vector<std::jthread> threads;
    for (int i = 0; i < 6; ++i) threads.emplace_back([&] { preference.Demote(0); });
    threads.clear();
    EXPECT_EQ(preference.Order(), (std::vector<size_t>{1, 0}));
}

TEST(ServerPreferenceTest, AnEmptyListHasNoOrder) {
    CServerPreference preference(0);
    preference.Demote(0);
    EXPECT_TRUE(preference.Order().empty());
}

TEST(ReadPacingTest, FixedReadsOnlyWhilePlentyArrivesQuickly) {
    CReadPacing pacing(1024 * 1024);
    EXPECT_EQ(pacing.Next(), 0u) << "the first read takes what has arrived";
    // Little at a time, however quickly it was there: a trickle stays with what has arrived.
    pacing.Record(0, 100, 10);
    EXPECT_EQ(pacing.Next(), 0u);
    pacing.Record(0, CReadPacing::kPlentyBytes, CReadPacing::kQuickMicros + 1);
    EXPECT_EQ(pacing.Next(), 0u);
    pacing.Record(0, CReadPacing::kPlentyBytes, 100);
    EXPECT_EQ(pacing.Next(), CReadPacing::kFirstFixedBytes);
    const uint32_t sizes[] = {128 * 1024, 256 * 1024, 512 * 1024, 1024 * 1024, 1024 * 1024};
    for (const uint32_t size : sizes) {
        pacing.Record(pacing.Next(), pacing.Next(), 2000);
        EXPECT_EQ(pacing.Next(), size);
    }
    pacing.Record(1024 * 1024, 1024 * 1024, CReadPacing::kQuickMicros + 1);
    EXPECT_EQ(pacing.Next(), 0u) << "a slow fixed read goes back to what has arrived";
    pacing.Record(0, 64 * 1024, 10);
    pacing.Record(64 * 1024, 1000, 10);
    EXPECT_EQ(pacing.Next(), 0u) << "so does a short one";
}

TEST(ContentRangeTest, OnlyACompleteRangeInsideItsTotalIsTaken) {
    const auto range = ParseContentRange("bytes 50331648-67108863/67108864");
    ASSERT_TRUE(range);
    EXPECT_EQ(range->First, 50331648u);
    EXPECT_EQ(range->Last, 67108863u);
    EXPECT_EQ(range->Total, 67108864u);
    for (const char* bad : {"", "bytes */100", "bytes 0-99/*", "bytes 10-5/100", "bytes 0-100/100", "bits 0-9/10",
                            "bytes 0-9", "bytes -9/10", "bytes 0-9/10 ", "bytes  0-9/10", "bytes 0-99999999999999999999/1"}) {
        EXPECT_FALSE(ParseContentRange(bad)) << bad;
    }
}

TEST(RangeValidatorTest, AStrongTagComesFirstThenTheDate) {
    const std::string date = "Tue, 01 Dec 2026 10:00:00 GMT";
    EXPECT_EQ(ChooseRangeValidator("\"5f3c-4000000\"", date), "\"5f3c-4000000\"");
    EXPECT_EQ(ChooseRangeValidator("W/\"5f3c\"", date), date) << "If-Range takes no weak tag";
    EXPECT_EQ(ChooseRangeValidator("unquoted", date), date);
    EXPECT_EQ(ChooseRangeValidator("", date), date);
    EXPECT_EQ(ChooseRangeValidator("", ""), "");
    EXPECT_EQ(ChooseRangeValidator("\"a\r\nInjected: 1\"", ""), "") << "no header can be smuggled in";
}

TEST(ResumeInfoTest, ReadsBackWhatWasWrittenAndRefusesDamage) {
    const ResumeInfo info{"\"5f3c-4000000\"", 67108864};
    const auto back = ParseResumeInfo(FormatResumeInfo(info));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Validator, info.Validator);
    EXPECT_EQ(back->Total, info.Total);
    for (const char* bad : {"", "\n67108864\n", "\"tag\"\n\n", "\"tag\"\n0\n", "\"tag\"\n12x\n", "\"tag\"\n12", "\"tag\"\n12\nmore"}) {
        EXPECT_FALSE(ParseResumeInfo(bad)) << bad;
    }
}
}  // namespace
