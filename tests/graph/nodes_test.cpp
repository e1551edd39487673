// The node kinds and envelope stepping by hand-worked values: what the
// differential tests cannot see because their references make the same
// choices, the creation contracts, and the large-pull path of the sample
// source against pulls of one frame.
#include "graph/echo.h"
#include "graph/envelopes.h"
#include "graph/nodes.h"
#include "graph/sample_source.h"
#include "tests/support/host.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <vector>

using namespace dbm;

namespace {

using Frames = std::vector<int16_t>;
using NodeTest = testsupport::HostTest;

Frames pull(ProcessingNode *node, uint32_t frames, uint32_t channels = 1, uint32_t *result = nullptr)
{
    Frames out(size_t(frames) * channels, 0x5555);
    const uint32_t r = node->pull(out.data(), frames);
    if (result)
        *result = r;
    return out;
}

void tag(ProcessingNode *node, uint32_t id, uint32_t value)
{
    const NodeTag tags[] = {{id, value}, {TAG_END, 0}};
    node->setParameters(tags);
}

// Owns the nodes of a test, first to last.
struct Chain {
    NodeList list;
    ~Chain() { freeChain(list); }
    template <class T = ProcessingNode> T *add(ProcessingNode *node)
    {
        EXPECT_NE(node, nullptr);
        if (node)
            list.append(node);
        return static_cast<T *>(node);
    }
    ProcessingNode *samples(Frames &frames, int32_t loopStart = 0, int32_t loopLength = 0, uint32_t mode = LOOP_NONE)
    {
        return add(createSampleSource(frames.data(), loopStart, loopLength, int32_t(frames.size()), mode));
    }
};

Frames ramp(int count, int16_t first = 1)
{
    Frames frames(size_t(count), 0);
    std::iota(frames.begin(), frames.end(), first);
    return frames;
}

} // namespace

// Frame i of the sample holds i + 1; the loop is frames 2..4.
TEST_F(NodeTest, SampleSourceCourses)
{
    struct Case {
        const char *rule;
        uint32_t mode, backwards;
        int32_t offset, firingsA, firingsB;
        Frames frames;
        uint32_t result;
    };
    const Case cases[] = {
        {"started backwards above a forward loop it loops downwards", LOOP_FORWARD, 1, 1, -1, -1, {7, 6, 5, 4, 3, 5, 4, 3, 5, 4, 3, 5}, 1},
        {"started backwards below the loop it ends at frame 0", LOOP_FORWARD, 1, 7, -1, -1, {1, 0, 0, 0}, 0},
        {"an offset beyond the loop end plays to the sample's end", LOOP_FORWARD, 0, 6, -1, -1, {7, 8, 0, 0}, 0},
        {"ping-pong plays each turning frame twice", LOOP_PINGPONG, 0, 0, -1, -1, {1, 2, 3, 4, 5, 5, 4, 3, 3, 4, 5, 5, 4, 3, 3, 4}, 1},
        {"loop mode 3 plays ping-pong", 3, 0, 0, -1, -1, {1, 2, 3, 4, 5, 5, 4, 3, 3, 4}, 1},
        {"a used-up event neither fires nor holds the source", LOOP_FORWARD, 0, 0, 2, -1, {1, 2, 3, 4, 5, 3, 4, 5, 3, 4, 5, 6, 7, 8, 0, 0}, 0},
        {"a used-up event at the cursor lets the source pass", LOOP_PINGPONG, 0, 5, -1, 0, {6, 7, 8, 0}, 0},
    };
    for (const Case &c : cases) {
        Frames sample = ramp(8);
        Chain chain;
        auto *node = chain.add<SampleSourceNode>(createSampleSource(sample.data(), 2, 3, 8, c.mode));
        const NodeTag start[] = {{TAG_BACKWARDS, c.backwards}, {TAG_POSITION, uint32_t(c.offset)}, {TAG_END, 0}};
        node->setParameters(start);
        if (c.firingsA >= 0)
            node->eventRecordA.remaining = c.firingsA;
        if (c.firingsB >= 0)
            node->eventRecordB.remaining = c.firingsB;
        uint32_t result = 7;
        EXPECT_EQ(pull(node, uint32_t(c.frames.size()), 1, &result), c.frames) << c.rule;
        EXPECT_EQ(result, c.result) << c.rule;
    }
}

// Short loops are played whole cycles at a time in large pulls; frames,
// cursor and firing counts match pulls of one frame, also when a count runs out.
TEST_F(NodeTest, ShortLoopsInLargePullsMatchPullsOfOneFrame)
{
    Frames sample = ramp(12);
    for (uint32_t mode : {LOOP_FORWARD, LOOP_PINGPONG})
        for (uint32_t backwards : {0u, 1u})
            for (int32_t loopLength : {1, 3})
                for (int32_t count : {0x7FFFFFFF, 40}) {
                    Chain chain;
                    auto *large = static_cast<SampleSourceNode *>(chain.samples(sample, 4, loopLength, mode));
                    auto *single = static_cast<SampleSourceNode *>(chain.samples(sample, 4, loopLength, mode));
                    Frames a, b;
                    for (SampleSourceNode *node : {large, single}) {
                        const NodeTag start[] = {{TAG_BACKWARDS, backwards}, {TAG_POSITION, 2}, {TAG_END, 0}};
                        node->setParameters(start);
                        node->eventRecordA.remaining = node->eventRecordB.remaining = count;
                    }
                    for (uint32_t size : {1u, 250u, 97u, 252u}) {
                        const Frames piece = pull(large, size);
                        a.insert(a.end(), piece.begin(), piece.end());
                        for (uint32_t i = 0; i < size; ++i)
                            b.push_back(pull(single, 1)[0]);
                    }
                    SCOPED_TRACE(testing::Message() << "mode " << mode << " backwards " << backwards << " loop " << loopLength << " count " << count);
                    EXPECT_EQ(a, b);
                    EXPECT_EQ(std::vector<int>({large->position, large->eventRecordA.remaining, large->eventRecordB.remaining}),
                              std::vector<int>({single->position, single->eventRecordA.remaining, single->eventRecordB.remaining}));
                }
}

// The step interpolates linearly with a floored 32-bit product, holds at 0,
// and is limited to 1008.0 so the read position stays inside the buffer.
TEST_F(NodeTest, ResamplerSteps)
{
    struct Case {
        const char *rule;
        uint32_t step;
        Frames in, out;
    };
    const Case cases[] = {
        {"half steps insert the floored midpoint", 0x8000, {100, 201, -300, -300, 32767, -32768},
         {100, 150, 201, -50, -300, -300, -300, 16233, 32767, -1, -32768}},
        {"the product wraps in 32 bits: (65535 x 65535) >> 16 is -2, stored in 16 bits", 0xFFFF, {-32768, 32767}, {-32768, 32766}},
        {"step 0 holds the first frame", 0, {7, 8, 9}, {7, 7, 7, 7}},
        {"steps above 1008.0 read every 1008th frame", 0xFFFFFFFF, ramp(3100, 0), {0, 1008, 2016, 3024}},
    };
    for (const Case &c : cases) {
        Frames input = c.in;
        Chain chain;
        chain.samples(input);
        ProcessingNode *node = chain.add(createResampler());
        tag(node, TAG_RESAMPLE_STEP, c.step);
        EXPECT_EQ(pull(node, uint32_t(c.out.size())), c.out) << c.rule;
    }
}

// At 44100 Hz the line holds 22738 frames. With the defaults (delay 5645
// frames, feedback 128, mix 128, cross-feed 255) an impulse of 20000 on the
// right at frame 0 and on the left at frame 14 (a pan delay of 14 frames)
// comes out halved at once, then twice more, mostly across, worked out by hand.
TEST_F(NodeTest, EchoLinesAndDefaultImpulseResponse)
{
    for (auto [rate, frames] : {std::array<int32_t, 2>{8000, 4128}, {44100, 22738}, {192000, 99003}}) {
        Chain chain;
        EXPECT_EQ(chain.add<EchoNode>(createEcho(uint32_t(rate), ECHO_GLOBAL))->bufferFrames, frames) << rate;
    }
    int16_t table[128] = {};
    table[127] = 14;
    Frames impulse = {20000};
    Chain chain;
    chain.samples(impulse);
    tag(chain.add(createPanDelay(table)), TAG_PANNING, 128);
    const Frames out = pull(chain.add(createEcho(44100, ECHO_TRACK)), 11400, 2);
    std::vector<std::array<int, 3>> found; // frame, side, value
    for (size_t i = 0; i < out.size(); ++i)
        if (out[i])
            found.push_back({int(i / 2), int(i % 2), out[i]});
    EXPECT_EQ(found, (std::vector<std::array<int, 3>>{{0, 1, 10000}, {14, 0, 10000}, {5645, 0, 4980}, {5645, 1, 19}, {5659, 0, 19},
                                                      {5659, 1, 4980}, {11290, 0, 19}, {11290, 1, 2480}, {11304, 0, 2480}, {11304, 1, 19}}));
}

// Each constructor refuses what it cannot use.
TEST_F(NodeTest, CreationRefusals)
{
    Frames sample = ramp(8);
    EXPECT_EQ(createSampleSource(sample.data(), 6, 3, 8, LOOP_FORWARD), nullptr);
    EXPECT_EQ(createSampleSource(sample.data(), -1, 2, 8, LOOP_PINGPONG), nullptr);
    EXPECT_EQ(createSampleSource(sample.data(), 2, 0, 8, LOOP_FORWARD), nullptr);
    EXPECT_EQ(createSampleSource(sample.data(), 0, 0, -1, LOOP_NONE), nullptr);
    EXPECT_EQ(createSampleSource(nullptr, 0, 0, 8, LOOP_NONE), nullptr);
    EXPECT_EQ(createEcho(7999, ECHO_GLOBAL), nullptr);
    EXPECT_EQ(createEcho(192001, ECHO_GLOBAL), nullptr);
}

namespace {

Envelope envelope(std::initializer_list<std::pair<uint16_t, int16_t>> points, uint16_t loopStart = INDEX_NONE,
                  uint16_t loopEnd = INDEX_NONE, uint16_t sustainA = INDEX_NONE, uint16_t sustainB = INDEX_NONE)
{
    Envelope e{1, uint16_t(points.size() - 1), loopStart, loopEnd, sustainA, sustainB, {}};
    std::transform(points.begin(), points.end(), e.points, [](auto p) { return EnvelopePoint{p.first, p.second}; });
    return e;
}

// The state a voice restart leaves: the envelope's markers armed.
EnvelopeState restarted(const Envelope &e)
{
    EnvelopeState state{};
    state.loopEnd = e.loopEnd, state.sustainA = e.sustainA, state.sustainB = e.sustainB;
    return state;
}

} // namespace

// Each tick gives the envelope's value along its segments (x 256 for volume,
// x 128 for panning); markers hold until the state releases them.
TEST(Envelopes, ValuesTickByTick)
{
    struct Case {
        const char *rule;
        Envelope envelope;
        unsigned shift;
        int releaseAfter; // ticks before every marker is released (-1: never)
        std::vector<int> values;
    };
    const auto rise = {std::pair<uint16_t, int16_t>{0, 0}, {4, 64}, {8, 32}};
    const auto loop = {std::pair<uint16_t, int16_t>{0, 0}, {2, 64}, {4, 32}};
    const Case cases[] = {
        {"a ramp rises over its ticks, then holds at the last point", envelope({{0, 0}, {4, 64}}), 8, -1,
         {0, 4096, 8192, 12288, 16384, 16384, 16384}},
        {"a loop jumps back without showing its end point's value", envelope(loop, 1, 2), 8, -1,
         {0, 8192, 16384, 12288, 16384, 12288, 16384, 12288, 16384}},
        {"a released loop runs on to its end point and holds there", envelope(loop, 1, 2), 8, 4, {0, 8192, 16384, 12288, 8192, 8192, 8192}},
        {"a segment between repeated positions lasts one tick", envelope({{0, 0}, {0, 64}, {4, 0}}), 8, -1, {0, 16384, 12288, 8192, 4096, 0}},
        {"a full panning swing runs both ways", envelope({{0, -128}, {4, 128}, {8, -128}}), 7, -1,
         {-16384, -8192, 0, 8192, 16384, 8192, 0, -8192, -16384, -16384}},
        {"sustain A holds until released", envelope(rise, INDEX_NONE, INDEX_NONE, 1), 8, 7,
         {0, 4096, 8192, 12288, 16384, 16384, 16384, 16384, 14336, 12288, 10240, 8192, 8192}},
        {"sustain B holds until released", envelope(rise, INDEX_NONE, INDEX_NONE, INDEX_NONE, 1), 8, 7,
         {0, 4096, 8192, 12288, 16384, 16384, 16384, 16384, 14336, 12288, 10240, 8192, 8192}},
    };
    for (const Case &c : cases) {
        EnvelopeState state = restarted(c.envelope);
        std::vector<int> values;
        for (int tick = 0; tick < int(c.values.size()); ++tick) {
            if (tick == c.releaseAfter)
                state.loopEnd = state.sustainA = state.sustainB = INDEX_NONE;
            values.push_back(stepEnvelope(state, c.envelope, c.shift));
        }
        EXPECT_EQ(values, c.values) << c.rule;
    }
}

// The longest full swing (2048 ticks) stays exact: 16 per tick.
TEST(Envelopes, TheLongestSwingStaysExact)
{
    const Envelope swing = envelope({{0, -128}, {2048, 128}});
    EnvelopeState state = restarted(swing);
    for (int tick = 0; tick <= 2048; ++tick)
        ASSERT_EQ(stepEnvelope(state, swing, 7), -16384 + 16 * tick) << tick;
}
