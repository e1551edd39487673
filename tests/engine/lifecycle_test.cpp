#include "engine/chains.h"
#include "engine/lifecycle.h"
#include "engine_support.h"

#include <gtest/gtest.h>

using namespace dbm;
using enginetest::TestModule;

namespace {

using EngineLifecycle = enginetest::HostTest;

TestModule fourTracks()
{
    return TestModule(4, {{0, 1}}, {64, 64});
}

// The allocations createEngine makes for `module`.
uint64_t allocationsFor(const Module *module)
{
    const uint64_t start = kvhost::allocationCount();
    Engine *engine = createEngine(module, 44100, 64);
    EXPECT_NE(engine, nullptr);
    destroyEngine(engine);
    return kvhost::allocationCount() - start;
}

struct GainCase {
    uint16_t tracks;
    int16_t level;
    int32_t gain;
    int32_t clip;
};

} // namespace

// Rates outside 8000..192000, a zero maxFrames, and modules without tracks or
// without orders in song 0 are refused; the bounds are accepted.
TEST_F(EngineLifecycle, RefusedRatesAndModules)
{
    TestModule song = fourTracks();
    EXPECT_EQ(createEngine(song.module(), 7999, 64), nullptr);
    EXPECT_EQ(createEngine(song.module(), 192001, 64), nullptr);
    EXPECT_EQ(createEngine(song.module(), 44100, 0), nullptr);
    EXPECT_EQ(createEngine(nullptr, 44100, 64), nullptr);
    for (uint32_t rate : {8000u, 192000u}) {
        Engine *engine = createEngine(song.module(), rate, 64);
        ASSERT_NE(engine, nullptr) << rate;
        EXPECT_EQ(engine->sampleRate, rate);
        destroyEngine(engine);
    }
    TestModule noTracks(0, {{0}}, {64});
    EXPECT_EQ(createEngine(noTracks.module(), 44100, 64), nullptr);
    TestModule noOrders(4, {{}}, {64});
    EXPECT_EQ(createEngine(noOrders.module(), 44100, 64), nullptr);
    TestModule noSongs(4, {}, {64});
    EXPECT_EQ(createEngine(noSongs.module(), 44100, 64), nullptr);
}

// Output gain and clip level follow 2^(level/6) / tracks in 16.16, truncated;
// extreme levels neither overflow nor divide by zero: the gain wraps to 0 and
// the clip level stays at its maximum.
TEST_F(EngineLifecycle, OutputGainsAndClipLevels)
{
    const GainCase cases[] = {
        {4, 0, 16384, 131071}, {4, 16, 104032, 20642}, {4, -1, 14596, 147128},
        {8, 16, 52016, 41285}, {2, 6, 65536, 32767}, {4, 32767, 0, 2147483647}, {4, -32768, 0, 2147483647},
    };
    for (const GainCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.tracks << " tracks, level " << c.level);
        TestModule song(c.tracks, {{0}}, {64});
        Engine *engine = createEngine(song.module(), 44100, 64);
        ASSERT_NE(engine, nullptr);
        EXPECT_EQ(setOutputLevel(engine, c.level), c.gain);
        EXPECT_EQ(engine->outputGain, c.gain);
        EXPECT_EQ(engine->clipLevel, c.clip);
        destroyEngine(engine);
    }
}

// The pan delay grows with the square of the panning up to 0.333 ms of frames.
TEST_F(EngineLifecycle, PanDelayTables)
{
    int16_t table[PAN_DELAY_ENTRIES];
    buildPanDelayTable(table, 44100);
    const int firstMagnitude[] = {35, 49, 60, 69, 77, 84, 91, 97, 103, 109, 114, 119, 124, 128};
    int expected = 0;
    for (int magnitude = 1; magnitude <= 128; ++magnitude) {
        if (expected < 14 && magnitude == firstMagnitude[expected])
            ++expected;
        EXPECT_EQ(table[magnitude - 1], expected) << "magnitude " << magnitude;
    }
    buildPanDelayTable(table, 8000);
    EXPECT_EQ(table[127], 2);
    EXPECT_EQ(table[90], 1); // 91^2 x 2 >> 14
    EXPECT_EQ(table[89], 0);
    buildPanDelayTable(table, 192000);
    EXPECT_EQ(table[127], 63);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[63], 15); // 64^2 x 63 >> 14
}

// A new engine stands at song 0, first order, row 0, tick 0 with the defaults.
TEST_F(EngineLifecycle, DefaultsAfterCreation)
{
    TestModule song(4, {{1, 0}}, {64, 32});
    Engine *engine = createEngine(song.module(), 44100, 128);
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine->currentPattern, 1u);
    EXPECT_EQ(engine->currentSong, 0u);
    EXPECT_EQ(engine->orderPosition, 0);
    EXPECT_EQ(engine->currentRow, 0);
    EXPECT_EQ(engine->tick, 0);
    EXPECT_EQ(engine->speed, 6);
    EXPECT_EQ(engine->tempo, 125);
    EXPECT_EQ(engine->framesLeftInTick, 0u);
    EXPECT_EQ(engine->rowDelay, 0);
    EXPECT_EQ(engine->breakRow, -1);
    EXPECT_EQ(engine->jumpOrder, -1);
    EXPECT_EQ(engine->loopJump, -1);
    EXPECT_EQ(engine->globalVolume, 64);
    EXPECT_EQ(engine->volumeMax, 384);
    EXPECT_EQ(engine->panMin, -768);
    EXPECT_EQ(engine->panMax, 768);
    EXPECT_EQ(engine->pitchMin, 576);
    EXPECT_EQ(engine->pitchMax, 4608);
    EXPECT_EQ(engine->maxFrames, 128u);
    for (unsigned t = 0; t < 4; ++t) {
        const TrackState &track = engine->tracks[t];
        EXPECT_EQ(track.triggerCountdown, 2147483647);
        EXPECT_EQ(track.cutCountdown, 2147483647);
        EXPECT_EQ(track.portamentoTarget, 576);
        EXPECT_EQ(track.echoMix, 100u);
        EXPECT_EQ(track.echoCross, 255u);
        EXPECT_TRUE(track.voiceChain.empty());
        ASSERT_FALSE(track.outputChain.empty());
        EXPECT_EQ(track.outputChain.head->kind, uint32_t(NODE_TRACK_OUTPUT));
    }
    destroyEngine(engine);
}

// Only the track flagged for echo gets an echo node after its track output.
TEST_F(EngineLifecycle, EchoFlagAddsEchoToThatTrackOnly)
{
    TestModule song = fourTracks();
    song.echoFlag(3);
    Engine *engine = createEngine(song.module(), 44100, 64);
    ASSERT_NE(engine, nullptr);
    for (unsigned t = 0; t < 3; ++t) {
        EXPECT_EQ(engine->tracks[t].outputChain.head, engine->tracks[t].outputChain.last()) << t;
        EXPECT_EQ(queryOutputChain(engine->tracks[t], ATTR_ECHO_MODE), 0);
    }
    const NodeList &chain = engine->tracks[3].outputChain;
    ASSERT_NE(chain.head, chain.last());
    EXPECT_EQ(chain.head->kind, uint32_t(NODE_TRACK_OUTPUT));
    EXPECT_EQ(chain.last()->kind, uint32_t(NODE_ECHO));
    EXPECT_EQ(chain.head->next, chain.last());
    EXPECT_EQ(queryOutputChain(engine->tracks[3], ATTR_ECHO_MODE), int32_t(ECHO_GLOBAL));
    destroyEngine(engine);
}

// Destroying an engine leaves its module intact for the next engine.
TEST_F(EngineLifecycle, DestroyLeavesModuleUsable)
{
    TestModule song = fourTracks();
    const Module *module = song.module();
    Engine *first = createEngine(module, 44100, 64);
    ASSERT_NE(first, nullptr);
    destroyEngine(first);
    destroyEngine(nullptr);
    EXPECT_EQ(module->trackCount, 4);
    EXPECT_EQ(module->songs[0]->orders[1], 1);
    Engine *second = createEngine(module, 44100, 64);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->currentPattern, 0u);
    destroyEngine(second);
}

// Whichever allocation fails, createEngine returns null and leaves nothing
// behind; an echo that cannot be created leaves that track without echo and
// the engine standing.
TEST_F(EngineLifecycle, EveryAllocationFailureIsCleanedUp)
{
    TestModule plain = fourTracks();
    TestModule echoed = fourTracks();
    echoed.echoFlag(0);
    for (TestModule *song : {&plain, &echoed}) {
        const Module *module = song->module();
        const uint64_t needed = allocationsFor(module);
        ASSERT_GE(needed, 8u); // record, two buffers, tracks, four track outputs
        for (uint64_t k = 1; k <= needed; ++k) {
            SCOPED_TRACE(testing::Message() << (song == &plain ? "plain" : "echo") << ", allocation " << k);
            kvhost::failAllocation(k);
            Engine *engine = createEngine(module, 44100, 64);
            kvhost::resetHostControls();
            if (song == &plain) {
                EXPECT_EQ(engine, nullptr);
            } else if (engine) {
                EXPECT_EQ(queryOutputChain(engine->tracks[0], ATTR_ECHO_MODE), 0);
            }
            destroyEngine(engine);
            EXPECT_EQ(kvhost::outstandingBlocks(), before);
        }
    }
}

// setPosition reads the order entry of the song named; a song without orders
// is stopped instead of read through.
TEST_F(EngineLifecycle, SetPositionOnOtherSongs)
{
    TestModule song(4, {{0}, {2, 1}, {}}, {64, 64, 64});
    Engine *engine = createEngine(song.module(), 44100, 64);
    ASSERT_NE(engine, nullptr);
    setPosition(engine, 1, 1, 5);
    EXPECT_EQ(engine->currentPattern, 1u);
    EXPECT_EQ(engine->currentRow, 5);
    EXPECT_EQ(engine->rowDelay, 0);
    setPosition(engine, 2, 0, 0);
    EXPECT_EQ(engine->currentPattern, 0u);
    EXPECT_EQ(engine->rowDelay, ROW_DELAY_HALT);
    destroyEngine(engine);
}
