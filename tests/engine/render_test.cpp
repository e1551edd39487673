#include "engine/lifecycle.h"
#include "engine/render.h"
#include "engine_support.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <vector>

using namespace dbm;
using enginetest::TestModule;

namespace {

// Produces `left`/`right` in every frame and records the size of each pull.
// Lives in the test: destroy does nothing.
class ConstantNode : public ProcessingNode {
public:
    ConstantNode(int16_t l, int16_t r) : ProcessingNode(NODE_TRACK_OUTPUT), left(l), right(r) {}

    uint32_t pull(int16_t *buffer, uint32_t frames) override
    {
        pulls.push_back(frames);
        for (uint32_t i = 0; i < frames; ++i) {
            buffer[2 * i] = left;
            buffer[2 * i + 1] = right;
        }
        return result;
    }
    void destroy() override {}
    void setParameters(const NodeTag *) override {}
    uint32_t getAttribute(uint32_t, uint32_t *) override { return 0; }
    void reset() override {}

    int16_t left, right;
    uint32_t result = 1;
    std::vector<uint32_t> pulls;
};

class RenderLoop : public enginetest::HostTest {
protected:
    void TearDown() override
    {
        destroyEngine(engine);
        HostTest::TearDown();
    }

    void create(TestModule module, uint32_t maxFrames = 4000)
    {
        song.emplace(std::move(module));
        engine = createEngine(song->module(), 44100, maxFrames);
        ASSERT_NE(engine, nullptr);
    }

    // A node producing (left, right) put at the end of the track's output
    // chain, the track made to sound.
    ConstantNode &tap(unsigned track, int16_t left, int16_t right)
    {
        nodes.emplace_back(left, right);
        TrackState &t = engine->tracks[track];
        t.outputChain.append(&nodes.back());
        t.sounding = 1;
        t.volumeEnvelopeState.envelope = INDEX_NONE;
        t.panningEnvelopeState.envelope = INDEX_NONE;
        return nodes.back();
    }

    std::deque<ConstantNode> nodes;  // outlive the engine's chains
    std::optional<TestModule> song; // outlives the engine until TearDown
    Engine *engine = nullptr;
};

} // namespace

// Asking for no frames returns 0, writes nothing and runs no tick.
TEST_F(RenderLoop, WantedZero)
{
    create(TestModule(4, {{0}}, {64}));
    int16_t out[4] = {7, 7, 7, 7};
    EXPECT_EQ(renderFrames(engine, 0, out), 0u);
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(engine->framesLeftInTick, 0u);
    EXPECT_EQ(engine->tick, 0);
}

// Ticks run before frames 0, 882 and 1764 of a 2000-frame call at tempo 125;
// the next call first finishes the 646 frames left.
TEST_F(RenderLoop, TicksCutTheRequest)
{
    create(TestModule(4, {{0}}, {64}));
    ConstantNode &node = tap(1, 0, 0);
    std::vector<int16_t> out(2 * 2000);
    EXPECT_EQ(renderFrames(engine, 2000, out.data()), 2000u);
    EXPECT_EQ(node.pulls, (std::vector<uint32_t>{882, 882, 236}));
    EXPECT_EQ(engine->tick, 3);
    EXPECT_EQ(engine->framesLeftInTick, 646u);
    node.pulls.clear();
    EXPECT_EQ(renderFrames(engine, 1000, out.data()), 1000u);
    EXPECT_EQ(node.pulls, (std::vector<uint32_t>{646, 354}));
    EXPECT_EQ(engine->tick, 4);
}

// At tempo 120 the remainder carry gives 918, 919, 919, 918, 919.
TEST_F(RenderLoop, TickLengthsCarryTheRemainder)
{
    create(TestModule(4, {{0}}, {64}));
    engine->tempo = 120;
    std::vector<uint32_t> lengths;
    for (int i = 0; i < 5; ++i) {
        computeTickLength(engine);
        lengths.push_back(engine->framesLeftInTick);
    }
    EXPECT_EQ(lengths, (std::vector<uint32_t>{918, 919, 919, 918, 919}));
    EXPECT_EQ(engine->tickRemainder, 180);
}

// A stop reported by the tick at frame 882 ends the call after that tick;
// the frames beyond are silence.
TEST_F(RenderLoop, StopEndsTheCallEarly)
{
    TestModule m(4, {{0}}, {64});
    m.effect(0, 0, 0, 15, 1);  // speed 1: every tick starts a row
    m.effect2(0, 0, 2, 15, 0); // stop after this row
    create(m);
    std::vector<int16_t> out(2 * 2000, 0x5555);
    EXPECT_EQ(renderFrames(engine, 2000, out.data()), 1764u);
    for (size_t i = 2 * 1764; i < out.size(); ++i)
        ASSERT_EQ(out[i], 0) << "sample " << i;
    // Every later row start reports the stop again: one tick per call.
    EXPECT_EQ(renderFrames(engine, 2000, out.data()), 882u);
}

// Each sounding track's frames are scaled by its 2.14 gains (arithmetic
// shift) and summed; a track whose pull reports the end is mixed once more
// and then left alone.
TEST_F(RenderLoop, MixAddsScaledTracks)
{
    create(TestModule(2, {{0}}, {64}));
    tap(0, 1000, -3);
    ConstantNode &b = tap(1, -7, 30000);
    engine->tracks[0].leftGain = 16384;
    engine->tracks[0].rightGain = 8192;
    engine->tracks[1].leftGain = 8192;
    engine->tracks[1].rightGain = -16384;
    b.result = 0;
    clearMix(engine, 4);
    mixTrack(engine, engine->tracks[0], engine->mixBuffer, 4);
    mixTrack(engine, engine->tracks[1], engine->mixBuffer, 4);
    EXPECT_EQ(engine->mixBuffer[0], 1000 + (-7 * 8192 >> 14));   // 1000 - 4
    EXPECT_EQ(engine->mixBuffer[1], (-3 * 8192 >> 14) - 30000);   // -2 - 30000
    EXPECT_EQ(engine->tracks[1].sounding, 0u);
    mixTrack(engine, engine->tracks[1], engine->mixBuffer, 4);
    EXPECT_EQ(b.pulls.size(), 1u);
}

// The accumulator at exactly the clip level is scaled, beyond it saturates
// at +-32767, and exactly -clipLevel is scaled.
TEST_F(RenderLoop, ClipBoundaries)
{
    create(TestModule(4, {{0}}, {64}));
    setOutputLevel(engine, 16); // gain 104032, clip level 20642
    const int32_t clip = engine->clipLevel;
    const int32_t values[] = {clip, clip + 1, -clip, -clip - 1, 2147483647, -2147483647 - 1, 0, -1};
    for (size_t i = 0; i < 8; ++i)
        engine->mixBuffer[i] = values[i];
    int16_t out[8];
    convertOutput(engine, 4, out);
    EXPECT_EQ(out[0], int16_t((int64_t(clip) * 104032) >> 16)); // 32767
    EXPECT_EQ(out[1], 32767);
    EXPECT_EQ(out[2], int16_t((int64_t(-clip) * 104032) >> 16));
    EXPECT_EQ(out[3], -32767);
    EXPECT_EQ(out[4], 32767);
    EXPECT_EQ(out[5], -32767);
    EXPECT_EQ(out[6], 0);
    EXPECT_EQ(out[7], -2); // (-104032) >> 16 rounds toward minus infinity
}

// With a gain of exactly 1.0, -clipLevel gives -32768 and +clipLevel 32767.
TEST_F(RenderLoop, UnityGainReachesMinus32768)
{
    create(TestModule(2, {{0}}, {64}));
    setOutputLevel(engine, 6);
    ASSERT_EQ(engine->clipLevel, 32767);
    engine->mixBuffer[0] = -32767;
    engine->mixBuffer[1] = 32767;
    int16_t out[2];
    convertOutput(engine, 1, out);
    EXPECT_EQ(out[0], -32767);
    EXPECT_EQ(out[1], 32767);
    setOutputLevel(engine, 0); // gain 32768, clip level 65535
    engine->mixBuffer[0] = -65535;
    engine->mixBuffer[1] = -65536;
    convertOutput(engine, 1, out);
    EXPECT_EQ(out[0], -32768);
    EXPECT_EQ(out[1], -32767);
}

// A request beyond the engine's buffers renders nothing and writes silence.
TEST_F(RenderLoop, OversizedRequestIsRefused)
{
    create(TestModule(4, {{0}}, {64}), 100);
    std::vector<int16_t> out(2 * 101, 9);
    EXPECT_EQ(renderFrames(engine, 101, out.data()), 0u);
    for (int16_t v : out)
        ASSERT_EQ(v, 0);
    EXPECT_EQ(engine->framesLeftInTick, 0u);
}
