// Echo through the engine: flagged tracks ringing on after their samples,
// the echo on/off command in its six forms, the echo settings, and failed
// allocations while an echo is added.
#include "effects_player.h"
#include "graph/chains.h"
#include "graph/echo.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dbm;
using namespace effectstest;

namespace {

constexpr int S = 6;
constexpr int32_t DEFAULT_DELAY_FRAMES = 5645; // 128 ms at 44100 Hz

std::vector<int> echoModes(Player &player)
{
    std::vector<int> modes;
    for (unsigned t = 0; t < player.module()->trackCount; ++t)
        modes.push_back(queryOutputChain(player.track(t), ATTR_ECHO_MODE));
    return modes;
}

EchoNode *echoOf(TrackState &track)
{
    for (ProcessingNode *node = track.outputChain.head; node; node = node->next)
        if (node->kind == NODE_ECHO)
            return static_cast<EchoNode *>(node);
    return nullptr;
}

// Tracks 0 and 1 flagged for echo in the module; row 0 switches a
// track-mode echo on for track 2; row 1 holds `command` (effect 31) on `track`.
modwriter::ModuleSpec switchSpec(uint8_t command, unsigned track)
{
    modwriter::ModuleSpec spec = songSpec();
    spec.dspe = true;
    spec.echoTrackBytes = {0, 0, 1, 1};
    cell(spec, 0, 2) = effects(31, 0x20);
    cell(spec, 1, track) = effects(31, command);
    return spec;
}

std::vector<int> modesAfterSwitch(uint8_t command, unsigned track)
{
    Player player(switchSpec(command, track));
    if (!player.ready())
        return {};
    player.ticks(S + 1);
    return echoModes(player);
}

} // namespace

TEST(FlaggedEcho, TailSoundsAndEnvelopesRunAfterTheSampleEnds)
{
    modwriter::ModuleSpec spec = songSpec(2);
    spec.dspe = true;
    spec.echoTrackBytes = {0, 1};
    spec.samples[0].frames.assign(300, 8000);
    modwriter::EnvelopeSpec fade;
    fade.lastPoint = 1;
    fade.points = {{0, 64}, {64, 0}};
    spec.volumeEnvelopes.push_back(fade);
    cell(spec, 0, 0) = note(4, 0);
    cell(spec, 0, 1) = note(4, 0);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    ASSERT_EQ(echoModes(player), (std::vector<int>{ECHO_GLOBAL, 0}));
    player.playTick();
    player.playTick();
    EXPECT_EQ(player.track(0).sounding, 1u);
    EXPECT_EQ(player.track(1).sounding, 0u);
    const int16_t echoed = player.track(0).volumeEnvelopeValue;
    const int16_t stopped = player.track(1).volumeEnvelopeValue;
    bool tail = false;
    for (int tick = 2; tick < 9; ++tick)
        for (int16_t value : player.playTick())
            tail = tail || value != 0;
    EXPECT_TRUE(tail);
    EXPECT_EQ(player.track(0).sounding, 1u);
    EXPECT_LT(player.track(0).volumeEnvelopeValue, echoed);
    EXPECT_EQ(player.track(1).volumeEnvelopeValue, stopped);
}

TEST(EchoSwitch, ZeroAddsAGlobalEchoToThisTrack)
{
    EXPECT_EQ(modesAfterSwitch(0x00, 3), (std::vector<int>{1, 1, 2, 1}));
}

TEST(EchoSwitch, TenAddsGlobalEchoesWhereThereIsNone)
{
    EXPECT_EQ(modesAfterSwitch(0x10, 0), (std::vector<int>{1, 1, 2, 1}));
}

TEST(EchoSwitch, TwentyAddsATrackModeEcho)
{
    EXPECT_EQ(modesAfterSwitch(0x20, 3), (std::vector<int>{1, 1, 2, 2}));
}

TEST(EchoSwitch, AddingOverAnEchoOfEitherModeChangesNothing)
{
    EXPECT_EQ(modesAfterSwitch(0x00, 2), (std::vector<int>{1, 1, 2, 0}));
    EXPECT_EQ(modesAfterSwitch(0x20, 0), (std::vector<int>{1, 1, 2, 0}));
    Player player(switchSpec(0x00, 2));
    ASSERT_TRUE(player.ready());
    player.ticks(S);
    EchoNode *before = echoOf(player.track(2));
    player.tick();
    EXPECT_EQ(echoOf(player.track(2)), before);
    EXPECT_EQ(player.track(2).outputChain.head->next, before);
    EXPECT_EQ(before->next, nullptr);
}

TEST(EchoSwitch, OneRemovesOnlyThisTracksGlobalEcho)
{
    EXPECT_EQ(modesAfterSwitch(0x01, 0), (std::vector<int>{0, 1, 2, 0}));
    EXPECT_EQ(modesAfterSwitch(0x01, 2), (std::vector<int>{1, 1, 2, 0}));
}

TEST(EchoSwitch, ElevenRemovesEveryGlobalEchoOnly)
{
    EXPECT_EQ(modesAfterSwitch(0x11, 3), (std::vector<int>{0, 0, 2, 0}));
}

TEST(EchoSwitch, TwentyOneRemovesOnlyThisTracksTrackModeEcho)
{
    EXPECT_EQ(modesAfterSwitch(0x21, 2), (std::vector<int>{1, 1, 0, 0}));
    EXPECT_EQ(modesAfterSwitch(0x21, 0), (std::vector<int>{1, 1, 2, 0}));
}

TEST(EchoSwitch, OtherParametersDoNothing)
{
    EXPECT_EQ(modesAfterSwitch(0x02, 3), (std::vector<int>{1, 1, 2, 0}));
    EXPECT_EQ(modesAfterSwitch(0x31, 0), (std::vector<int>{1, 1, 2, 0}));
}

TEST(EchoSettings, FromATrackWithoutEchoReachEveryGlobalEchoButNotATrackModeOne)
{
    modwriter::ModuleSpec spec = switchSpec(0x02, 3);
    cell(spec, 1, 3) = effects(32, 16, 34, 64); // delay 32 ms, mix 64
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(S + 1);
    for (unsigned t : {0u, 1u}) {
        SCOPED_TRACE(t);
        EXPECT_EQ(player.track(t).echoDelay, 16u);
        EXPECT_EQ(player.track(t).echoMix, 64u);
        EXPECT_EQ(echoOf(player.track(t))->delayFrames, (44100 * 16 + 250) / 500);
        EXPECT_EQ(echoOf(player.track(t))->wetLevel, 64);
        EXPECT_EQ(echoOf(player.track(t))->directFeedback, 128 * (256 - 255)); // module defaults sent along
    }
    EXPECT_EQ(player.track(2).echoDelay, 64u);
    EXPECT_EQ(echoOf(player.track(2))->delayFrames, DEFAULT_DELAY_FRAMES);
    EXPECT_EQ(echoOf(player.track(2))->wetLevel, 128);
}

TEST(EchoSettings, TrackModeEchoKeepsItsOwn)
{
    modwriter::ModuleSpec spec = switchSpec(0x02, 3);
    cell(spec, 1, 2) = effects(34, 200);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(S + 1);
    EXPECT_EQ(echoOf(player.track(2))->wetLevel, 200);
    EXPECT_EQ(echoOf(player.track(0))->wetLevel, 128);
    EXPECT_EQ(player.track(0).echoMix, 128u);
}

TEST(EchoSettings, RemovedAndAddedEchoStartsSilentWithDefaults)
{
    modwriter::ModuleSpec spec = songSpec(2);
    spec.dspe = true;
    spec.echoTrackBytes = {0, 1};
    cell(spec, 0, 0) = note(4, 0, 1, 34, 200, 32, 10);
    cell(spec, 4, 0) = effects(31, 0x01, 31, 0x00);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    for (int tick = 0; tick < 4 * S; ++tick)
        player.playTick();
    EchoNode *old = echoOf(player.track(0));
    ASSERT_EQ(old->wetLevel, 200);
    player.tick();
    EchoNode *echo = echoOf(player.track(0));
    ASSERT_NE(echo, nullptr);
    EXPECT_EQ(echo->wetLevel, 128);
    EXPECT_EQ(echo->delayFrames, DEFAULT_DELAY_FRAMES);
    EXPECT_EQ(echo->writeIndex, 0);
    bool silent = true;
    for (int32_t i = 0; i < 2 * echo->bufferFrames; ++i)
        silent = silent && echo->buffer[i] == 0;
    EXPECT_TRUE(silent);
}

TEST(EchoAllocation, EveryFailingAllocationLeavesTheTrackWithoutEchoAndPlaying)
{
    modwriter::ModuleSpec spec = songSpec(2);
    spec.instruments[0].flags = 1; // looped, so track 1 sounds throughout
    spec.instruments[0].loopLength = 4000;
    cell(spec, 0, 1) = note(4, 0);
    cell(spec, 1, 0) = effects(31, 0x00);
    testsupport::ensureHost();
    bool added = false;
    for (uint64_t k = 1; k < 20 && !added; ++k) {
        SCOPED_TRACE(k);
        const size_t blocks = kvhost::outstandingBlocks();
        {
            Player player(spec);
            ASSERT_TRUE(player.ready());
            player.ticks(S);
            kvhost::failAllocation(k);
            player.tick();
            kvhost::failAllocation(0);
            TrackState &track = player.track(0);
            added = queryOutputChain(track, ATTR_ECHO_MODE) != 0;
            if (!added) {
                EXPECT_EQ(track.outputChain.head, track.outputChain.tail);
                EXPECT_EQ(track.outputChain.head->kind, NODE_TRACK_OUTPUT);
            }
            for (int tick = 0; tick < S; ++tick)
                EXPECT_FALSE(player.playTick().empty());
            EXPECT_EQ(player.track(1).sounding, 1u);
        }
        EXPECT_EQ(kvhost::outstandingBlocks(), blocks);
    }
    EXPECT_TRUE(added);
}
