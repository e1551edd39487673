// Echo through the engine: flagged tracks ringing on after their samples,
// the echo on/off command in its six forms, the echo settings, and failed
// allocations while an echo is added.
#include "engine/chains.h"
#include "engine_support.h"
#include "graph/echo.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dbm;
using namespace enginetest;

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
    modwriter::ModuleSpec desc = songWith({{0, 2, effects(31, 0x20)}, {1, track, effects(31, command)}});
    desc.dspe = true;
    desc.echoTrackBytes = {0, 0, 1, 1};
    return desc;
}

} // namespace

// A flagged track's echo tail sounds on after its sample ends, and its envelopes keep running.
TEST(FlaggedEcho, TailSoundsAndEnvelopesRunAfterTheSampleEnds)
{
    modwriter::ModuleSpec desc = songWith({{0, 0, note(4, 0)}, {0, 1, note(4, 0)}}, 2);
    desc.dspe = true;
    desc.echoTrackBytes = {0, 1};
    desc.samples[0].frames.assign(300, 8000);
    modwriter::EnvelopeSpec fade;
    fade.lastPoint = 1;
    fade.points = {{0, 64}, {64, 0}};
    desc.volumeEnvelopes.push_back(fade);
    Player player(desc);
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

struct SwitchCase {
    const char *rule;
    uint8_t command;
    unsigned track;
    std::vector<int> modes; // echo mode of each track after the command's row
};

// Effect 31 in its six forms: 0x00/0x01 add/remove this track's global echo,
// 0x10/0x11 every track's, 0x20/0x21 this track's track-mode echo; adding
// over an echo of either mode adds nothing and removing takes only its own mode.
TEST(EchoSwitch, EachFormAddsOrRemovesOnlyItsOwn)
{
    const SwitchCase cases[] = {
        {"0x00 adds a global echo to this track", 0x00, 3, {1, 1, 2, 1}},
        {"0x10 adds global echoes where there is none", 0x10, 0, {1, 1, 2, 1}},
        {"0x20 adds a track-mode echo", 0x20, 3, {1, 1, 2, 2}},
        {"0x00 over a track-mode echo adds nothing", 0x00, 2, {1, 1, 2, 0}},
        {"0x20 over a global echo adds nothing", 0x20, 0, {1, 1, 2, 0}},
        {"0x01 removes this track's global echo", 0x01, 0, {0, 1, 2, 0}},
        {"0x01 leaves a track-mode echo", 0x01, 2, {1, 1, 2, 0}},
        {"0x11 removes every global echo only", 0x11, 3, {0, 0, 2, 0}},
        {"0x21 removes this track's track-mode echo", 0x21, 2, {1, 1, 0, 0}},
        {"0x21 leaves a global echo", 0x21, 0, {1, 1, 2, 0}},
        {"0x02 does nothing", 0x02, 3, {1, 1, 2, 0}},
        {"0x31 does nothing", 0x31, 0, {1, 1, 2, 0}},
    };
    for (const SwitchCase &c : cases) {
        SCOPED_TRACE(c.rule);
        Player player(switchSpec(c.command, c.track));
        ASSERT_TRUE(player.ready());
        player.ticks(S + 1);
        EXPECT_EQ(echoModes(player), c.modes);
    }
}

// Adding over an existing echo keeps that very node, alone at the chain's end.
TEST(EchoSwitch, AddingOverAnEchoKeepsTheNode)
{
    Player player(switchSpec(0x00, 2));
    ASSERT_TRUE(player.ready());
    player.ticks(S);
    EchoNode *before = echoOf(player.track(2));
    player.tick();
    EXPECT_EQ(echoOf(player.track(2)), before);
    EXPECT_EQ(player.track(2).outputChain.head->next, before);
    EXPECT_EQ(before->next, nullptr);
}

// Echo settings from a track without echo reach every global echo, not a track-mode one.
TEST(EchoSettings, FromATrackWithoutEchoReachEveryGlobalEchoButNotATrackModeOne)
{
    modwriter::ModuleSpec desc = switchSpec(0x02, 3);
    cell(desc, 1, 3) = effects(32, 16, 34, 64); // delay 32 ms, mix 64
    Player player(desc);
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

// Settings on a track with a track-mode echo reach only that echo.
TEST(EchoSettings, TrackModeEchoKeepsItsOwn)
{
    modwriter::ModuleSpec desc = switchSpec(0x02, 3);
    cell(desc, 1, 2) = effects(34, 200);
    Player player(desc);
    ASSERT_TRUE(player.ready());
    player.ticks(S + 1);
    EXPECT_EQ(echoOf(player.track(2))->wetLevel, 200);
    EXPECT_EQ(echoOf(player.track(0))->wetLevel, 128);
    EXPECT_EQ(player.track(0).echoMix, 128u);
}

// An echo removed and added again starts from silence with the defaults.
TEST(EchoSettings, RemovedAndAddedEchoStartsSilentWithDefaults)
{
    modwriter::ModuleSpec desc = songWith({{0, 0, note(4, 0, 1, 34, 200, 32, 10)}, {4, 0, effects(31, 0x01, 31, 0x00)}}, 2);
    desc.dspe = true;
    desc.echoTrackBytes = {0, 1};
    Player player(desc);
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

// Whichever allocation fails while an echo is added, the track stays without echo and plays on.
TEST(EchoAllocation, EveryFailingAllocationLeavesTheTrackWithoutEchoAndPlaying)
{
    modwriter::ModuleSpec desc = songWith({{0, 1, note(4, 0)}, {1, 0, effects(31, 0x00)}}, 2);
    desc.instruments[0].flags = 1; // looped, so track 1 sounds throughout
    desc.instruments[0].loopLength = 4000;
    testsupport::ensureHost();
    bool added = false;
    for (uint64_t k = 1; k < 20 && !added; ++k) {
        SCOPED_TRACE(k);
        const size_t blocks = kvhost::outstandingBlocks();
        {
            Player player(desc);
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
