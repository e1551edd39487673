// The resampler and envelope stepping by hand-worked values, and the
// creation contracts (the sample source's and echo's courses, in pulls of
// every size, are held by their references in tests/reference).
#include "graph/echo.h"
#include "graph/envelopes.h"
#include "graph/nodes.h"
#include "graph/sample_source.h"
#include "tests/support/host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

using namespace dbm;

namespace {

using Frames = std::vector<int16_t>;
using NodeTest = testsupport::HostTest;

Frames ramp(int count, int16_t first = 1)
{
    Frames frames(size_t(count), 0);
    std::iota(frames.begin(), frames.end(), first);
    return frames;
}

} // namespace

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
        NodeList chain;
        chain.append(createSampleSource(c.in.data(), 0, 0, int32_t(c.in.size()), LOOP_NONE));
        chain.append(createResampler());
        const NodeTag tags[] = {{TAG_RESAMPLE_STEP, c.step}, {TAG_END, 0}};
        chain.last()->setParameters(tags);
        Frames out(c.out.size(), 0x5555);
        chain.last()->pull(out.data(), uint32_t(out.size()));
        EXPECT_EQ(out, c.out) << c.rule;
        freeChain(chain);
    }
}

namespace {

// The echo's predecessor: a stereo impulse, (1024, 0) on frame 0, then silence.
class Impulse final : public ProcessingNode {
public:
    Impulse() : ProcessingNode(0) {}
    uint32_t pull(int16_t *out, uint32_t frames) override
    {
        for (uint32_t i = 0; i < 2 * frames; ++i)
            out[i] = int16_t(next == 0 && i == 0 ? 1024 : 0);
        next += frames;
        return 1;
    }
    void destroy() override {}
    void setParameters(const NodeTag *) override {}
    uint32_t getAttribute(uint32_t, uint32_t *) override { return 0; }
    void reset() override {}
    uint32_t next = 0;
};

} // namespace

// The echo of an impulse at 44100 Hz, pulled a frame at a time and in blocks:
// every frame that is not silent, as frame, left, right. A delay unit is 2 ms, 88 frames;
// the line holds 22738 frames ((22050 + 689 + 3) with the bit of value 4
// cleared). Each frame is (x dry + d wet) >> 8 for the delayed frame d, and
// the line takes (x (256 - f)(256 - c) + x' (256 - f) c + d f (256 - c) +
// d' f c) >> 16 per side (x', d' the other side's) for feedback f, mix (wet)
// m and cross-feed c out of 256.
TEST_F(NodeTest, EchoOfAnImpulse)
{
    struct Case {
        const char *rule;
        std::vector<NodeTag> tags; // delay, feedback, mix, cross-feed
        std::vector<int> heard;
    };
    const auto shares = [](uint32_t delay, uint32_t f, uint32_t m, uint32_t c) {
        return std::vector<NodeTag>{{TAG_ECHO_DELAY, delay}, {TAG_ECHO_FEEDBACK, f}, {TAG_ECHO_MIX, m}, {TAG_ECHO_CROSS, c}};
    };
    const Case cases[] = {
        {"no cross-feed: each echo on its own side, halved by feedback and mix 128", shares(1, 128, 128, 0),
         {0, 512, 0, 88, 256, 0, 176, 128, 0, 264, 64, 0, 352, 32, 0, 440, 16, 0, 528, 8, 0, 616, 4, 0, 704, 2, 0, 792, 1, 0}},
        {"cross-feed 128 shares each echo between the sides", shares(1, 128, 128, 128),
         {0, 512, 0, 88, 128, 128, 176, 64, 64, 264, 32, 32, 352, 16, 16, 440, 8, 8, 528, 4, 4, 616, 2, 2, 704, 1, 1}},
        {"full cross-feed without feedback: one echo, on the other side", shares(1, 0, 255, 255), {0, 4, 0, 88, 3, 1016}},
        {"mix 0 passes the input alone", shares(1, 255, 0, 0), {0, 1024, 0}},
        {"the defaults: delay 64 (5645 frames), feedback 128, mix 128, cross-feed 255", {},
         {0, 512, 0, 5645, 1, 255, 11290, 127, 0, 16935, 0, 63, 22580, 31, 0}},
        {"delay 0 plays what the line held a whole line earlier", shares(0, 128, 128, 0), {0, 512, 0, 22738, 256, 0}},
        {"delays above 255 are 255: 22491 frames", shares(1000, 128, 128, 0), {0, 512, 0, 22491, 256, 0}},
    };
    for (const Case &c : cases)
        for (uint32_t piece : {1u, 4096u}) { // frame by frame, and in blocks as the mixing pulls them
            Impulse impulse;
            NodeList list;
            list.append(&impulse);
            ProcessingNode *echo = createEcho(44100, ECHO_TRACK);
            ASSERT_NE(echo, nullptr);
            list.append(echo);
            std::vector<NodeTag> tags = c.tags;
            tags.push_back({TAG_END, 0});
            echo->setParameters(tags.data());
            std::vector<int16_t> out(2 * 23000);
            for (uint32_t at = 0; at < 23000; at += piece)
                echo->pull(&out[2 * at], std::min(piece, 23000 - at));
            std::vector<int> heard;
            for (int frame = 0; frame < 23000; ++frame)
                if (out[2 * frame] || out[2 * frame + 1])
                    heard.insert(heard.end(), {frame, out[2 * frame], out[2 * frame + 1]});
            EXPECT_EQ(heard, c.heard) << c.rule << ", in pieces of " << piece;
            list.unlink(&impulse);
            freeChain(list);
        }
}

// A track output whose track has no voice writes silence and says that
// nothing sounds.
TEST_F(NodeTest, TrackOutputWithoutAVoice)
{
    NodeList voice;
    ProcessingNode *output = createTrackOutput(&voice);
    ASSERT_NE(output, nullptr);
    Frames out(8, 0x5555);
    EXPECT_EQ(output->pull(out.data(), 4), 0u);
    EXPECT_EQ(out, Frames(8, 0));
    output->destroy();
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
    for (uint32_t rate : {8000u, 192000u}) { // the limits themselves are taken
        ProcessingNode *echo = createEcho(rate, ECHO_GLOBAL);
        EXPECT_NE(echo, nullptr) << rate;
        if (echo)
            echo->destroy();
    }
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
