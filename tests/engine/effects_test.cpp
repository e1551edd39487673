// Effect commands: what each one stores on its row, and how the slides and
// countdowns move the track tick by tick at speed 6.
#include "engine/parameters.h"
#include "engine/rows.h"
#include "engine_support.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dbm;
using namespace enginetest;

namespace {

constexpr int S = 6;

int pitch(Player &p) { return p.track(0).pitch; }
int volume(Player &p) { return p.track(0).volume; }
int sounding(Player &p) { return int(p.track(0).sounding); }
int globalVolume(Player &p) { return p.engine->globalVolume; }

struct TraceCase {
    const char *rule;
    std::vector<Put> cells;
    int skip; // ticks played before the trace
    int (*read)(Player &);
    std::vector<int> expected; // after each traced tick
    uint16_t instrumentVolume = 64;
};

// The ticks at which the voice restarts: its source position stands at 0
// right after a restart, and is moved away after every tick.
std::vector<int> restartTicks(Player &player, int count)
{
    std::vector<int> ticks;
    for (int i = 0; i < count; ++i) {
        player.tick();
        TrackState &track = player.track(0);
        if (track.voiceChain.empty())
            continue;
        if (sourcePosition(track) == 0)
            ticks.push_back(i);
        moveSource(track, 50);
    }
    return ticks;
}

} // namespace

// Each effect moves its value tick by tick as stated, within its limits.
TEST(EffectTicks, ValuesTickByTick)
{
    const TraceCase cases[] = {
        {"pitch slide 0xF4 adds its 4 units once per tick (fine form)",
         {{0, 0, note(4, 0, 1, 1, 0xF4)}}, 0, pitch, {2304, 2308, 2312, 2316, 2320, 2324, 2328}},
        {"pitch slide 4 adds 4 x speed every tick", {{0, 0, note(4, 0, 1, 1, 4)}}, 0, pitch, {2304, 2328, 2352}},
        {"volume slide 0 repeats the last parameter 0x20",
         {{0, 0, note(4, 0, 1, 12, 10, 10, 0x20)}, {1, 0, effects(10, 0)}}, S - 1, volume,
         {20 * S, 22 * S, 24 * S, 26 * S}},
        {"volume slide from 60 up 4 per tick stops at 64", {{0, 0, note(4, 0, 1, 12, 60, 10, 0x40)}}, 0, volume,
         {360, 384, 384, 384, 384, 384, 384}},
        {"portamento step 40 toward a target 10 away lands on it",
         {{0, 0, note(4, 0, 1, 15, 1)}, {1, 0, effects(14, 0x2A)}, {2, 0, note(4, 0, 0, 3, 40)}, {3, 0, effects(3, 0)}},
         0, pitch, {384, 374, 374, 384, 384}},
        {"downward portamento stops on the target", {{0, 0, note(4, 1)}, {1, 0, note(4, 0, 0, 3, 3)}}, S, pitch,
         {2352, 2334, 2316, 2304}},
        {"global volume 16 slides up unscaled; 65 is ignored, slide 0 repeats",
         {{0, 0, note(4, 0, 1, 16, 16, 17, 0x20)}, {1, 0, effects(16, 65, 17, 0)}}, 0, globalVolume,
         {16, 18, 20, 22, 24, 26, 28, 30}},
        {"global volume slide down 5 from 12 stops at 0", {{0, 0, note(4, 0, 1, 16, 12, 17, 0x05)}}, 0,
         globalVolume, {12, 7, 2, 0, 0}},
        {"note delay 3 starts the note at tick 3", {{0, 0, note(4, 0, 1, 14, 0xD3)}}, 0, sounding,
         {0, 0, 0, 1, 1, 1}},
        {"note delay of the speed never starts it in that row", {{0, 0, note(4, 0, 1, 14, 0xD6)}}, 0, sounding,
         std::vector<int>(2 * S, 0)},
        {"note cut 0 silences from tick 0", {{0, 0, note(4, 0, 1, 10, 0x40, 14, 0xC0)}}, 0, volume,
         std::vector<int>(S, 0)},
        {"note cut 2 holds 0 despite a slide up", {{0, 0, note(4, 0, 1, 10, 0x40, 14, 0xC2)}}, 0, volume,
         {32 * S, 36 * S, 0, 0, 0, 0}, 32},
    };
    for (const TraceCase &c : cases) {
        SCOPED_TRACE(c.rule);
        modwriter::ModuleSpec desc = songWith(c.cells);
        desc.instruments[0].volume = c.instrumentVolume;
        Player player(desc);
        ASSERT_TRUE(player.ready());
        player.ticks(c.skip);
        EXPECT_EQ(player.trace(int(c.expected.size()), c.read), c.expected);
    }
}

// Parameters are two decimal digits; any digit above 9 makes 0.
TEST(Bcd, TwoDecimalDigitsOrZero)
{
    EXPECT_EQ(decodeBcd(0x32), 32);
    EXPECT_EQ(decodeBcd(0x99), 99);
    EXPECT_EQ(decodeBcd(0x1A), 0);
    EXPECT_EQ(decodeBcd(0xA1), 0);
}

// x up, y down, scaled by the speed; xF and Fy are fine forms, y = 15 tested first.
TEST(VolumeSlideParameter, TableWithFineFormsAndYFifteenFirst)
{
    EXPECT_EQ(volumeSlideChange(0x00, S), 0);
    EXPECT_EQ(volumeSlideChange(0x03, S), -3 * S);
    EXPECT_EQ(volumeSlideChange(0x0F, S), -15 * S);
    EXPECT_EQ(volumeSlideChange(0x40, S), 4 * S);
    EXPECT_EQ(volumeSlideChange(0xF0, S), 15 * S);
    EXPECT_EQ(volumeSlideChange(0x4F, S), 4);
    EXPECT_EQ(volumeSlideChange(0xF3, S), -3);
    EXPECT_EQ(volumeSlideChange(0xFE, S), -14);
    EXPECT_EQ(volumeSlideChange(0xFF, S), 15);
    EXPECT_EQ(volumeSlideChange(0x34, S), 0);
}

// Effect 5 with 0 repeats its own memory byte, not the volume slide's.
TEST(EffectMemory, PortamentoVolumeSlideUsesItsOwnByte)
{
    Player player(songWith({{0, 0, note(4, 0, 1, 12, 32, 10, 0x20)}, {1, 0, effects(5, 0x03)}, {2, 0, effects(5, 0)}}));
    ASSERT_TRUE(player.ready());
    player.ticks(2 * S + 1);
    EXPECT_EQ(player.track(0).volumeSlide, -3 * S);
    EXPECT_EQ(player.track(0).portamentoStep, 0); // byte 4 never set
}

// Effect 5 takes its portamento step from effect 3's memory byte.
TEST(EffectMemory, PortamentoVolumeSlideTakesItsStepFromThePortamentoByte)
{
    Player player(songWith({{0, 0, note(4, 0, 1, 3, 0x10)}, {1, 0, note(5, 0, 0, 5, 0x01)}}));
    ASSERT_TRUE(player.ready());
    player.ticks(S + 1);
    EXPECT_EQ(player.track(0).portamentoStep, 0x10 * S);
    EXPECT_EQ(player.track(0).volumeSlide, -1 * S);
}

// Set volume above 64 is ignored; 0 silences.
TEST(SetVolume, AboveSixtyFourIsIgnoredAndZeroSilences)
{
    Player player(songWith({{0, 0, note(4, 0, 1, 12, 40)}, {1, 0, effects(12, 65)}, {2, 0, effects(12, 0)}}));
    ASSERT_TRUE(player.ready());
    player.ticks(S + 1);
    EXPECT_EQ(player.track(0).volume, 40 * S);
    player.ticks(S);
    EXPECT_EQ(player.track(0).volume, 0);
    EXPECT_EQ(player.track(0).leftGain, 0);
}

// Effect 8 with 0 is full left; extended 0x88 is the centre.
TEST(SetPanning, ZeroIsFullLeftAndCoarseEightIsCentre)
{
    Player player(songWith({{0, 0, note(4, 0, 1, 8, 0)}, {1, 0, effects(14, 0x88)}}));
    ASSERT_TRUE(player.ready());
    player.tick();
    EXPECT_EQ(player.track(0).panning, -128 * S);
    EXPECT_EQ(player.track(0).rightGain, 0);
    player.ticks(S);
    EXPECT_EQ(player.track(0).panning, 0);
    EXPECT_EQ(player.track(0).rightGain, 16384);
}

// Effect 25 slides right by x, left by y, and not at all with both.
TEST(PanningSlide, RightByXLeftByYNeitherWithBoth)
{
    Player player(songWith({{0, 0, note(4, 0, 1, 25, 0x20)}, {1, 0, effects(25, 0x03)}, {2, 0, effects(25, 0x23)}}));
    ASSERT_TRUE(player.ready());
    auto panning = [](Player &p) { return p.track(0).panning; };
    EXPECT_EQ(player.trace(3, panning), (std::vector<int>{0, 2 * S, 4 * S}));
    player.ticks(S - 2);
    EXPECT_EQ(player.track(0).panning, 12 * S);
    EXPECT_EQ(player.trace(2, panning), (std::vector<int>{9 * S, 6 * S}));
    player.ticks(S - 1);
    const int held = player.track(0).panning;
    EXPECT_EQ(player.track(0).panSlide, 0);
    player.tick();
    EXPECT_EQ(player.track(0).panning, held);
}

// Effect 13 breaks to a decimal row of the next pattern (0 for a bad digit).
TEST(PatternBreak, DecimalRowInTheNextPattern)
{
    for (auto [parameter, row] : {std::pair<uint8_t, int>{0x1A, 0}, {0x32, 32}}) {
        SCOPED_TRACE(row);
        modwriter::ModuleSpec desc = songWith({{5, 0, effects(13, parameter)}});
        desc.patterns.push_back(modwriter::PatternSpec{});
        desc.songs[0].orders = {0, 1};
        Player player(desc);
        ASSERT_TRUE(player.ready());
        player.ticks(5 * S + 1);
        EXPECT_EQ(player.engine->breakRow, row);
        player.ticks(S);
        EXPECT_EQ(player.engine->orderPosition, 1);
        EXPECT_EQ(player.engine->currentRow, row + 1); // the row after the one just played
    }
}

// A pattern loop 0x6y plays its section y + 1 times.
TEST(PatternLoop, SectionPlaysYPlusOneTimes)
{
    Player player(songWith({{1, 0, effects(14, 0x60)}, {2, 0, effects(14, 0x62)}}));
    ASSERT_TRUE(player.ready());
    std::vector<int> rows;
    for (int row = 0; row < 8; ++row) {
        player.ticks(S);
        rows.push_back(player.engine->currentRow - 1);
    }
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 2, 1, 2, 1, 2, 3}));
    EXPECT_EQ(player.engine->loopCount, 0);
}

// A loop start 0x60 while a loop runs leaves the loop where it is.
TEST(PatternLoop, LoopStartDuringARunningLoopDoesNotMove)
{
    // loop end, then a loop start in the same entry
    Player player(songWith({{1, 0, effects(14, 0x60)}, {3, 0, effects(14, 0x61, 14, 0x60)}}));
    ASSERT_TRUE(player.ready());
    player.ticks(4 * S);
    EXPECT_EQ(player.engine->loopRow, 1);
    EXPECT_EQ(player.engine->loopCount, 1);
    player.ticks(S);
    EXPECT_EQ(player.engine->currentRow, 2); // row 1 again
}

// Effect 9 (x 256) and extended 0x7y (x 65536) add into one offset used by the restart.
TEST(SampleOffset, CoarseAndHighOffsetsAdd)
{
    modwriter::ModuleSpec desc = songWith({{0, 0, note(4, 0, 1, 9, 0x10, 14, 0x72)}});
    desc.samples[0].frames.assign(140000, 1000);
    Player player(desc);
    ASSERT_TRUE(player.ready());
    player.tick();
    EXPECT_EQ(sourcePosition(player.track(0)), 4096u + 131072u);
    EXPECT_EQ(player.track(0).sampleOffset, 0u); // consumed by the restart
}

// Arpeggio offsets are 0, x and y semitones; the phase cycles 0, 1, 2 per tick.
TEST(Arpeggio, OffsetsByPhaseAndPhaseCycles)
{
    Player player(songWith({{0, 0, note(4, 0, 1, 0, 0x37)}}));
    ASSERT_TRUE(player.ready());
    player.tick();
    const TrackState &track = player.track(0);
    EXPECT_EQ(track.arpeggioOffsets[0], 0);
    EXPECT_EQ(track.arpeggioOffsets[1], 3 * 8 * S);
    EXPECT_EQ(track.arpeggioOffsets[2], 7 * 8 * S);
    EXPECT_EQ(player.trace(5, [](Player &p) { return p.engine->arpeggioPhase; }), (std::vector<int>{2, 0, 1, 2, 0}));
}

// Vibrato depth is scaled by the speed; the phase steps by its speed from the restart.
TEST(Vibrato, DepthScaledAndPhaseStepsBySpeedFromTheRestart)
{
    Player player(songWith({{0, 0, note(4, 0, 1, 4, 0x58)}, {1, 0, effects(6, 0)}}));
    ASSERT_TRUE(player.ready());
    EXPECT_EQ(player.trace(S, [](Player &p) { return p.track(0).vibratoPhase; }),
              (std::vector<int>{5, 10, 15, 20, 25, 30}));
    EXPECT_EQ(player.track(0).vibratoDepth, 8 * S);
    EXPECT_EQ(player.track(0).vibratoSpeed, 5);
    player.tick(); // effect 6 takes the vibrato from effect 4's memory
    EXPECT_EQ(player.track(0).vibratoDepth, 8 * S);
    EXPECT_EQ(player.track(0).vibratoPhase, 35);
}

// A pitch slide stops at the pitch limits; arpeggio and vibrato are added after it.
TEST(PitchSlideTicks, StopsAtTheLimitsAndArpeggioAndVibratoAddAfterIt)
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

    track.pitch = 864 * S - 10;
    track.pitchSlide = 24;
    applySlides(&hand.engine);
    EXPECT_EQ(track.pitch, 864 * S);
}

// Retrigger y restarts the note every y ticks; without a note it restarts nothing.
TEST(Countdowns, RetriggerRestartsEveryIntervalAfterTheNote)
{
    Player retrigger(songWith({{0, 0, note(4, 0, 1, 14, 0x92)}}));
    ASSERT_TRUE(retrigger.ready());
    EXPECT_EQ(restartTicks(retrigger, 2 * S), (std::vector<int>{0, 2, 4}));
    Player withoutNote(songWith({{0, 0, note(4, 0)}, {1, 0, effects(14, 0x91)}}));
    ASSERT_TRUE(withoutNote.ready());
    EXPECT_EQ(restartTicks(withoutNote, 2 * S), (std::vector<int>{0}));
}

// A track without a chain keeps its countdowns but nothing fires.
TEST(Countdowns, TrackWithoutChainIgnoresThem)
{
    // instrument 9 does not exist
    Player player(songWith({{0, 0, note(4, 0, 9, 14, 0xD2, 14, 0xC1)}}));
    ASSERT_TRUE(player.ready());
    player.ticks(3);
    EXPECT_EQ(player.track(0).triggerCountdown, 2); // the note delay replaced the note's 0
    EXPECT_EQ(player.track(0).cutCountdown, 1);
    EXPECT_EQ(player.track(0).sounding, 0u);
}
