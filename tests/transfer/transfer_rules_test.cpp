// The small rules of the transfer: announced lengths, the speed floor, the
// server preference, the pacing of reads, the progress throttle, and the
// texts of continuing a download.
#include "transfer/range_resume.h"
#include "transfer/server_preference.h"
#include "transfer/transfer_rules.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {
TEST(ParseContentLength, AcceptsPlainDecimalOnly) {
    const struct {
        const char* text;
        std::optional<uint64_t> value;
    } cases[] = {
        {"0", 0},
        {"4096", 4096},
        {"007", 7},
        {"18446744073709551615", UINT64_MAX},
        {"18446744073709551616", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-1", std::nullopt},
        {"+5", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"12a", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseContentLength(c.text), c.value) << '"' << c.text << '"';
    }
}

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

constexpr uint64_t kKiB = 1024;

struct Step {
    uint64_t received;
    uint64_t millis;
    bool due;
};

TEST(ProgressThrottle, NeedsBothEnoughBytesAndEnoughTime) {
    CProgressThrottle throttle(10 * 64 * kKiB, 1000);
    const Step steps[] = {
        {64 * kKiB, 1050, false},       // bytes enough, too soon
        {64 * kKiB - 1, 1200, false},   // time enough, too few bytes since start
        {64 * kKiB, 1100, true},
        {100 * kKiB, 1300, false},      // only 36 KiB since the last one
        {128 * kKiB, 1199, false},      // 99 ms after the last one
        {128 * kKiB, 1200, true},
        {640 * kKiB - 1, 5000, true},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(throttle.IsDue(s.received, s.millis), s.due) << s.received << " at " << s.millis;
    }
}

TEST(ProgressThrottle, NeverAtOrPastTheTotalNorWithoutOne) {
    CProgressThrottle known(256 * kKiB, 0);
    EXPECT_FALSE(known.IsDue(256 * kKiB, 10000));
    EXPECT_FALSE(known.IsDue(300 * kKiB, 20000));
    CProgressThrottle unknown(0, 0);
    EXPECT_FALSE(unknown.IsDue(64 * kKiB, 10000));
}
}  // namespace
