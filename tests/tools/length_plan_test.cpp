// How kvplay chooses the length of a rendering.

#include "tools/kvplay/length_plan.h"

#include <gtest/gtest.h>

namespace {

using kvplay::planLength;

const dbm::SongDuration STOPS_AT_10S{true, true, 441000};
const dbm::SongDuration ENDLESS{true, false, 14400ull * 44100};

TEST(LengthPlan, ByDefaultTheScannedSongThenAtMostTheTailWithoutFade)
{
    kvplay::LengthPlan plan = planLength(STOPS_AT_10S, std::nullopt, 3);
    EXPECT_EQ(plan.songFrames, 441000u);
    EXPECT_EQ(plan.tailFrames, 132300u);
    EXPECT_EQ(plan.fadeFrames, 0u);
}

TEST(LengthPlan, SecondsBeyondTheSongEndAreExactWithoutTailOrFade)
{
    kvplay::LengthPlan plan = planLength(STOPS_AT_10S, 12.5, 3);
    EXPECT_EQ(plan.songFrames, 551250u);
    EXPECT_EQ(plan.tailFrames, 0u);
    EXPECT_EQ(plan.fadeFrames, 0u);
}

TEST(LengthPlan, SecondsThatCutTheSongShortFadeOutOverAQuarterAtMostTwoSeconds)
{
    EXPECT_EQ(planLength(STOPS_AT_10S, 2.0, 3).fadeFrames, 22050u);
    EXPECT_EQ(planLength(STOPS_AT_10S, 9.0, 3).fadeFrames, 88200u);
}

TEST(LengthPlan, ASongThatNeverStopsPlaysThreeHundredSecondsOrTheGivenLengthFadedOut)
{
    kvplay::LengthPlan plan = planLength(ENDLESS, std::nullopt, 3);
    EXPECT_EQ(plan.songFrames, 300u * 44100);
    EXPECT_EQ(plan.tailFrames, 0u);
    EXPECT_EQ(plan.fadeFrames, 88200u);
    EXPECT_EQ(planLength(ENDLESS, 4.0, 3).songFrames, 176400u);
}

} // namespace
