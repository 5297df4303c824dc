#include "engine/rollout_decision.h"

#include "base/number_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

const UtcTime kNow = *ParseUtcTime("2026-12-09T12:00:00Z");
const std::string kRelease = "0123456789abcdef0123456789abcdef";
using Places = std::vector<std::optional<uint32_t>>;

ReleaseRollout Share(uint32_t tenths, std::optional<RolloutGrowth> growth = std::nullopt) {
    ReleaseRollout rollout;
    rollout.Share = tenths;
    rollout.Growth = growth;
    return rollout;
}

// The places in a release of 100,000 installations whose identities, of
// MakeInstallId's form, come from a fixed seed.
Places PlacesIn(const std::string& release, int32_t type = 1) {
    std::mt19937_64 random(27);
    Places places;
    for (int i = 0; i < 100000; ++i) {
        uint8_t id[16];
        for (uint8_t& byte : id) byte = static_cast<uint8_t>(random());
        places.push_back(RolloutPlace(LowerHex(id, sizeof id), release, type));
    }
    return places;
}

// Percent of them whose silent run takes the release now, and of those
// also taking it in another release.
double Taking(const ReleaseRollout& rollout, const Places& places, const Places* alsoIn = nullptr) {
    size_t taken = 0;
    for (size_t i = 0; i < places.size(); ++i) {
        taken += DecideForInstallation(rollout, kNow, places[i]).Taken &&
                 (!alsoIn || DecideForInstallation(rollout, kNow, (*alsoIn)[i]).Taken);
    }
    return 100.0 * static_cast<double>(taken) / static_cast<double>(places.size());
}

TEST(RolloutDecisionTest, SharesAreTakenAsRolledOutAndEarlyGroupsAreIndependentBetweenReleases) {
    const Places places = PlacesIn(kRelease);
    for (const uint32_t tenths : {10u, 100u, 500u}) EXPECT_NEAR(Taking(Share(tenths), places), tenths / 10.0, 0.5);
    EXPECT_EQ(Taking(Share(0), places), 0.0);
    EXPECT_EQ(Taking(Share(kEveryInstallation), places), 100.0);
    EXPECT_NEAR(Taking(Share(0, RolloutGrowth{kNow - std::chrono::days{5}, 10}), places), 50.0, 0.5);
    // A raised share keeps everyone in: the place alone decides.
    for (const std::optional<uint32_t>& place : places) {
        ASSERT_TRUE(!DecideForInstallation(Share(100), kNow, place).Taken ||
                    DecideForInstallation(Share(250), kNow, place).Taken);
    }
    for (const Places& other : {PlacesIn("fedcba9876543210fedcba9876543210"), PlacesIn(kRelease, 2)}) {
        EXPECT_NEAR(Taking(Share(100), places, &other), 1.0, 0.3);
    }
}

TEST(RolloutDecisionTest, AGrowthRisesLinearlyAPersonTakesWhatIsNotPausedAndTheLogSaysWhoDecided) {
    const ReleaseRollout growing = Share(250, RolloutGrowth{*ParseUtcTime("2026-12-04T00:00:00Z"), 10});
    const UtcTime start = growing.Growth->Start;
    EXPECT_EQ(growing.ShareAt(start - std::chrono::days{1}), 250u);
    EXPECT_EQ(growing.ShareAt(start + std::chrono::days{5}), 625u);
    EXPECT_EQ(growing.ShareAt(start + std::chrono::days{11}), kEveryInstallation);
    EXPECT_EQ(DescribeRolloutDecision("4.0.3", growing, DecideForInstallation(growing, start, 613)),
              "release 4.0.3 rolled out to 25.0 % (growing to 100 % by 2026-12-14T00:00:00Z); "
              "this installation's place 61.3 %: not yet");
    EXPECT_EQ(DescribeRolloutDecision("4.0.3", Share(250), DecideForInstallation(Share(250), kNow, 249)),
              "release 4.0.3 rolled out to 25.0 %; this installation's place 24.9 %: taken");
    EXPECT_EQ(DescribeRolloutDecision("4.0.3", Share(5), DecideForInstallation(Share(5), kNow, std::nullopt)),
              "release 4.0.3 rolled out to 0.5 %; this installation has no place: not yet");
    EXPECT_EQ(DescribeRolloutDecision("4.0.3", Share(1), DecideForPerson(Share(1), kNow)),
              "release 4.0.3 rolled out to 0.1 %; a person asked: taken");
    EXPECT_FALSE(DecideForPerson(Share(0), kNow).Taken);
}

}  // namespace
