// Row effect commands: what each one stores on the row, and how the stored
// amounts move the track over the following ticks at speed 6.
#include "effects_player.h"
#include "effects_support.h"
#include "engine/rows.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dbm;
using namespace effectstest;

namespace {

constexpr int S = 6;

// The value of `field` after each of the next `count` ticks.
template <class Read> std::vector<int> trace(Player &player, int count, Read read)
{
    std::vector<int> values;
    for (int i = 0; i < count; ++i) {
        player.tick();
        values.push_back(read());
    }
    return values;
}

} // namespace

TEST(Bcd, TwoDecimalDigitsOrZero)
{
    EXPECT_EQ(decodeBcd(0x32), 32);
    EXPECT_EQ(decodeBcd(0x99), 99);
    EXPECT_EQ(decodeBcd(0x1A), 0);
    EXPECT_EQ(decodeBcd(0xA1), 0);
}

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

TEST(PitchSlideEffect, FineFormAddsItsUnitsOverTheRow)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 1, 0xF4);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    EXPECT_EQ(trace(player, S + 1, [&] { return player.track(0).pitch; }),
              (std::vector<int>{2304, 2308, 2312, 2316, 2320, 2324, 2328}));
}

TEST(PitchSlideEffect, CoarseFormAddsItsUnitsEveryTick)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 1, 4);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    EXPECT_EQ(trace(player, 3, [&] { return player.track(0).pitch; }), (std::vector<int>{2304, 2328, 2352}));
}

TEST(EffectMemory, VolumeSlideWithZeroRepeatsTheLastParameter)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 12, 10, 10, 0x20);
    cell(spec, 1, 0) = effects(10, 0);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(S);
    EXPECT_EQ(player.track(0).volume, 20 * S);
    EXPECT_EQ(trace(player, 3, [&] { return player.track(0).volume; }), (std::vector<int>{22 * S, 24 * S, 26 * S}));
}

TEST(EffectMemory, PortamentoVolumeSlideUsesItsOwnByte)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 12, 32, 10, 0x20);
    cell(spec, 1, 0) = effects(5, 0x03);
    cell(spec, 2, 0) = effects(5, 0);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(2 * S + 1);
    EXPECT_EQ(player.track(0).volumeSlide, -3 * S);
    EXPECT_EQ(player.track(0).portamentoStep, 0); // byte 4 never set
}

TEST(EffectMemory, PortamentoVolumeSlideTakesItsStepFromThePortamentoByte)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 3, 0x10);
    cell(spec, 1, 0) = note(5, 0, 0, 5, 0x01);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(S + 1);
    EXPECT_EQ(player.track(0).portamentoStep, 0x10 * S);
    EXPECT_EQ(player.track(0).volumeSlide, -1 * S);
}

TEST(SetVolume, AboveSixtyFourIsIgnoredAndZeroSilences)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 12, 40);
    cell(spec, 1, 0) = effects(12, 65);
    cell(spec, 2, 0) = effects(12, 0);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(S + 1);
    EXPECT_EQ(player.track(0).volume, 40 * S);
    player.ticks(S);
    EXPECT_EQ(player.track(0).volume, 0);
    EXPECT_EQ(player.track(0).leftGain, 0);
}

TEST(SetPanning, ZeroIsFullLeftAndCoarseEightIsCentre)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 8, 0);
    cell(spec, 1, 0) = effects(14, 0x88);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.tick();
    EXPECT_EQ(player.track(0).panning, -128 * S);
    EXPECT_EQ(player.track(0).rightGain, 0);
    player.ticks(S);
    EXPECT_EQ(player.track(0).panning, 0);
    EXPECT_EQ(player.track(0).rightGain, 16384);
}

TEST(PatternBreak, DecimalRowInTheNextPattern)
{
    for (auto [parameter, row] : {std::pair<uint8_t, int>{0x1A, 0}, {0x32, 32}}) {
        modwriter::ModuleSpec spec = songSpec();
        spec.patterns.push_back(modwriter::PatternSpec{});
        spec.songs[0].orders = {0, 1};
        cell(spec, 5, 0) = effects(13, parameter);
        Player player(spec);
        ASSERT_TRUE(player.ready());
        player.ticks(5 * S + 1);
        EXPECT_EQ(player.engine->breakRow, row);
        player.ticks(S);
        EXPECT_EQ(player.engine->orderPosition, 1);
        EXPECT_EQ(player.engine->currentRow, row + 1); // the row after the one just played
    }
}

TEST(PatternLoop, SectionPlaysYPlusOneTimes)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 1, 0) = effects(14, 0x60);
    cell(spec, 2, 0) = effects(14, 0x62);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    std::vector<int> rows;
    for (int row = 0; row < 8; ++row) {
        player.ticks(S);
        rows.push_back(player.engine->currentRow - 1);
    }
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 2, 1, 2, 1, 2, 3}));
    EXPECT_EQ(player.engine->loopCount, 0);
}

TEST(PatternLoop, LoopStartDuringARunningLoopDoesNotMove)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 1, 0) = effects(14, 0x60);
    cell(spec, 3, 0) = effects(14, 0x61, 14, 0x60); // loop end, then a loop start in the same entry
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(4 * S);
    EXPECT_EQ(player.engine->loopRow, 1);
    EXPECT_EQ(player.engine->loopCount, 1);
    player.ticks(S);
    EXPECT_EQ(player.engine->currentRow, 2); // row 1 again
}

TEST(SampleOffset, CoarseAndHighOffsetsAdd)
{
    modwriter::ModuleSpec spec = songSpec();
    spec.samples[0].frames.assign(140000, 1000);
    cell(spec, 0, 0) = note(4, 0, 1, 9, 0x10, 14, 0x72);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.tick();
    uint32_t position = 0;
    ASSERT_TRUE(player.track(0).voiceChain.head->getAttribute(ATTR_POSITION, &position));
    EXPECT_EQ(position, 4096u + 131072u);
    EXPECT_EQ(player.track(0).sampleOffset, 0u); // consumed by the restart
}

TEST(GlobalVolume, SetAndSlideUnscaled)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 16, 16, 17, 0x20);
    cell(spec, 1, 0) = effects(16, 65, 17, 0);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    EXPECT_EQ(trace(player, S + 2, [&] { return player.engine->globalVolume; }),
              (std::vector<int>{16, 18, 20, 22, 24, 26, 28, 30}));
    EXPECT_EQ(player.track(0).leftGain, 16384 * 30 / 64);
}

TEST(PanningSlide, RightByXLeftByYNeitherWithBoth)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 25, 0x20);
    cell(spec, 1, 0) = effects(25, 0x03);
    cell(spec, 2, 0) = effects(25, 0x23);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    EXPECT_EQ(trace(player, 3, [&] { return player.track(0).panning; }), (std::vector<int>{0, 2 * S, 4 * S}));
    player.ticks(S - 2);
    EXPECT_EQ(player.track(0).panning, 12 * S);
    EXPECT_EQ(trace(player, 2, [&] { return player.track(0).panning; }), (std::vector<int>{9 * S, 6 * S}));
    player.ticks(S - 1);
    const int held = player.track(0).panning;
    EXPECT_EQ(player.track(0).panSlide, 0);
    player.tick();
    EXPECT_EQ(player.track(0).panning, held);
}

TEST(Arpeggio, OffsetsByPhaseAndPhaseCycles)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 0, 0x37);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.tick();
    const TrackState &track = player.track(0);
    EXPECT_EQ(track.arpeggioOffsets[0], 0);
    EXPECT_EQ(track.arpeggioOffsets[1], 3 * 8 * S);
    EXPECT_EQ(track.arpeggioOffsets[2], 7 * 8 * S);
    EXPECT_EQ(trace(player, 5, [&] { return int(player.engine->arpeggioPhase); }),
              (std::vector<int>{2, 0, 1, 2, 0}));
}

TEST(Vibrato, DepthScaledAndPhaseStepsBySpeedFromTheRestart)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 1, 4, 0x58);
    cell(spec, 1, 0) = effects(6, 0);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    EXPECT_EQ(trace(player, S, [&] { return int(player.track(0).vibratoPhase); }),
              (std::vector<int>{5, 10, 15, 20, 25, 30}));
    EXPECT_EQ(player.track(0).vibratoDepth, 8 * S);
    EXPECT_EQ(player.track(0).vibratoSpeed, 5);
    player.tick(); // effect 6 takes the vibrato from effect 4's memory
    EXPECT_EQ(player.track(0).vibratoDepth, 8 * S);
    EXPECT_EQ(player.track(0).vibratoPhase, 35);
}
