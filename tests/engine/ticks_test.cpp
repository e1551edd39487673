// Per-tick effects: slides with their limits, tone portamento, and the
// note-delay, retrigger and note-cut countdowns.
#include "effects_player.h"
#include "effects_support.h"
#include "engine/rows.h"
#include "graph/parameters.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dbm;
using namespace effectstest;

namespace {

constexpr int S = 6;

template <class Read> std::vector<int> trace(Player &player, int count, Read read)
{
    std::vector<int> values;
    for (int i = 0; i < count; ++i) {
        player.tick();
        values.push_back(read());
    }
    return values;
}

// The voice's source position stands at 0 right after a restart; the test
// moves it away after every tick so the next restart shows.
std::vector<int> restartTicks(Player &player, int count)
{
    std::vector<int> ticks;
    for (int i = 0; i < count; ++i) {
        player.tick();
        TrackState &track = player.track(0);
        if (track.voiceChain.empty())
            continue;
        uint32_t position = 1;
        track.voiceChain.head->getAttribute(ATTR_POSITION, &position);
        if (position == 0)
            ticks.push_back(i);
        const NodeTag away[] = {{TAG_POSITION, 50}, {TAG_END, 0}};
        track.voiceChain.head->setParameters(away);
    }
    return ticks;
}

} // namespace

TEST(VolumeSlideTicks, UpFourPerTickStopsAtSixtyFour)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 12, 60, 10, 0x40);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    EXPECT_EQ(trace(player, S + 1, [&] { return player.track(0).volume; }),
              (std::vector<int>{360, 384, 384, 384, 384, 384, 384}));
}

TEST(PortamentoTicks, StepLargerThanTheDistanceLandsOnTheTarget)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 15, 1);      // speed 1: every tick is a row
    cell(spec, 1, 0) = effects(14, 0x2A);          // 10 eighths below the note
    cell(spec, 2, 0) = note(4, 0, 0, 3, 40);       // portamento back up, step 40
    cell(spec, 3, 0) = effects(3, 0);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    EXPECT_EQ(trace(player, 5, [&] { return player.track(0).pitch; }), (std::vector<int>{384, 374, 374, 384, 384}));
}

TEST(PortamentoTicks, DownwardStepStopsOnTheTarget)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 1);
    cell(spec, 1, 0) = note(4, 0, 0, 3, 3);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(S);
    EXPECT_EQ(trace(player, 4, [&] { return player.track(0).pitch; }), (std::vector<int>{2352, 2334, 2316, 2304}));
}

TEST(PitchSlideTicks, StopsAtTheLowerLimitAndArpeggioAndVibratoAddAfterIt)
{
    HandEngine hand;
    ProbeNode &probe = hand.attachProbe(0);
    TrackState &track = hand.tracks[0];
    track.pitch = 96 * S + 5;
    track.pitchSlide = -24;
    track.arpeggioOffsets[1] = 96 * S;
    track.vibratoDepth = 15 * S;
    track.vibratoPhase = 16;
    applySlides(&hand.engine);
    EXPECT_EQ(track.pitch, 96 * S);
    hand.engine.arpeggioPhase = 1;
    pushTrackParameters(&hand.engine);
    // 192 x 6 + 90 is an octave above the lowest pitch plus 15 eighths.
    EXPECT_EQ(probe.last(TAG_RESAMPLE_STEP), 73032u >> 2);
}

TEST(PitchSlideTicks, UpwardSlideStopsAtTheCeiling)
{
    HandEngine hand;
    TrackState &track = hand.tracks[0];
    track.pitch = 864 * S - 10;
    track.pitchSlide = 24;
    applySlides(&hand.engine);
    EXPECT_EQ(track.pitch, 864 * S);
}

TEST(GlobalVolumeTicks, SlideDownFiveFromTwelveStopsAtZero)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 16, 12, 17, 0x05);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    EXPECT_EQ(trace(player, 5, [&] { return player.engine->globalVolume; }), (std::vector<int>{12, 7, 2, 0, 0}));
}

TEST(Countdowns, NoteDelayRestartsAtItsTick)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 14, 0xD3);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    EXPECT_EQ(trace(player, S, [&] { return int(player.track(0).sounding); }), (std::vector<int>{0, 0, 0, 1, 1, 1}));
}

TEST(Countdowns, NoteDelayOfTheSpeedNeverRestartsInThatRow)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 14, 0xD6);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    EXPECT_EQ(trace(player, 2 * S, [&] { return int(player.track(0).sounding); }),
              (std::vector<int>(2 * S, 0)));
}

TEST(Countdowns, RetriggerRestartsEveryIntervalAfterTheNote)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 14, 0x92);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    EXPECT_EQ(restartTicks(player, 2 * S), (std::vector<int>{0, 2, 4}));
}

TEST(Countdowns, RetriggerWithoutNoteRestartsNothing)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0);
    cell(spec, 1, 0) = effects(14, 0x91);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    EXPECT_EQ(restartTicks(player, 2 * S), (std::vector<int>{0}));
}

TEST(Countdowns, NoteCutZeroSilencesFromTickZero)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 10, 0x40, 14, 0xC0);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    EXPECT_EQ(trace(player, S, [&] { return player.track(0).volume; }), (std::vector<int>(S, 0)));
}

TEST(Countdowns, NoteCutTwoHoldsZeroDespiteASlideUp)
{
    modwriter::ModuleSpec spec = songSpec();
    spec.instruments[0].volume = 32;
    cell(spec, 0, 0) = note(4, 0, 1, 10, 0x40, 14, 0xC2);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    EXPECT_EQ(trace(player, S, [&] { return player.track(0).volume; }),
              (std::vector<int>{32 * S, 36 * S, 0, 0, 0, 0}));
}

TEST(Countdowns, TrackWithoutChainIgnoresThem)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 9, 14, 0xD2, 14, 0xC1); // instrument 9 does not exist
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(3);
    EXPECT_EQ(player.track(0).triggerCountdown, 2); // the note delay replaced the note's 0
    EXPECT_EQ(player.track(0).cutCountdown, 1);
    EXPECT_EQ(player.track(0).sounding, 0u);
}
