#include "graph/nodes.h"
#include "graph/resampler.h"
#include "graph/sample_source.h"
#include "node_test_support.h"

using namespace dbm;
using nodetest::NodeTest;

namespace {

using Frames = std::vector<int16_t>;

class ResamplerTest : public NodeTest {
protected:
    ResamplerNode *make(uint32_t step)
    {
        ResamplerNode *node = add<ResamplerNode>(createResampler());
        const NodeTag tags[] = {{TAG_RESAMPLE_STEP, step}, {}};
        node->setParameters(tags);
        return node;
    }
};

} // namespace

TEST_F(ResamplerTest, StepOnePassesTheSourceFramesThroughSlides)
{
    const Frames input = nodetest::noise(4000);
    addSource(input);
    ResamplerNode *node = make(0x10000);
    const Frames out = pull(node, 3500, 1);
    EXPECT_EQ(out, Frames(input.begin(), input.begin() + 3500));
}

TEST_F(ResamplerTest, SlideAfterFrame1008ReadsAheadWithoutGapOrRepeat)
{
    const Frames input = nodetest::noise(3000);
    nodetest::FrameSource *source = addSource(input);
    ResamplerNode *node = make(0x10000);
    pull(node, 1008, 1);
    EXPECT_EQ(source->pulls, (std::vector<uint32_t>{1016}));
    EXPECT_EQ(pull(node, 2, 1), (Frames{input[1008], input[1009]}));
    EXPECT_EQ(source->pulls, (std::vector<uint32_t>{1016, 1008}));
}

TEST_F(ResamplerTest, HalfStepInsertsTheFlooredMidpoint)
{
    const Frames input = {100, 201, -300, -300, 32767, -32768, 5};
    addSource(input);
    ResamplerNode *node = make(0x8000);
    Frames expected;
    for (size_t i = 0; i + 1 < input.size(); ++i) {
        expected.push_back(input[i]);
        const int diff = input[i + 1] - input[i];
        expected.push_back(int16_t(input[i] + (diff >= 0 ? diff / 2 : -((-diff + 1) / 2))));
    }
    EXPECT_EQ(pull(node, uint32_t(expected.size()), 1), expected);
}

TEST_F(ResamplerTest, InterpolationWrapsLikeThe32BitProductAndKeepsLow16Bits)
{
    addSource({-32768, 32767});
    ResamplerNode *node = make(0xFFFF);
    // (65535 * 65535) wraps to -131071; >> 16 gives -2; -32770 stored as 32766.
    EXPECT_EQ(pull(node, 2, 1), (Frames{-32768, 32766}));
}

TEST_F(ResamplerTest, StepZeroHoldsTheFirstFrameWithoutPullingAgain)
{
    nodetest::FrameSource *source = addSource({7, 8, 9});
    ResamplerNode *node = make(0);
    EXPECT_EQ(pull(node, 3000, 1), Frames(3000, 7));
    EXPECT_EQ(source->pulls.size(), 1u);
}

TEST_F(ResamplerTest, ResetThenPositionTagStartsAtTheNewPosition)
{
    std::vector<int16_t> sample = nodetest::noise(5000);
    add<SampleSourceNode>(createSampleSource(sample.data(), 0, 0, 5000, LOOP_NONE));
    ResamplerNode *node = make(0x10000);
    pull(node, 1500, 1);
    node->reset();
    const NodeTag tags[] = {{TAG_POSITION, 300}, {}};
    chain.head->setParameters(tags);
    EXPECT_EQ(pull(node, 1200, 1), Frames(sample.begin() + 300, sample.begin() + 1500));
}

TEST_F(ResamplerTest, ResetForwardsToThePredecessorAndKeepsTheStep)
{
    nodetest::FrameSource *source = addSource({});
    ResamplerNode *node = make(0x12345);
    node->reset();
    EXPECT_EQ(source->resets, 1);
    EXPECT_EQ(node->step, 0x12345u);
    EXPECT_EQ(node->refill, 1u);
}

TEST_F(ResamplerTest, ResultIsThatOfThePullMadeInThisCall)
{
    nodetest::FrameSource *source = addSource({});
    source->result = 0;
    ResamplerNode *node = make(0x10000);
    uint32_t result = 1;
    pull(node, 10, 1, &result);
    EXPECT_EQ(result, 0u);
    pull(node, 10, 1, &result);
    EXPECT_EQ(result, 1u); // no pull of the source in this call
    EXPECT_EQ(node->pull(nullptr, 0), 1u);
}

TEST_F(ResamplerTest, PullsOfAnySizeGiveTheStreamOfOnePull)
{
    addSource(nodetest::noise(20000, 7));
    ResamplerNode *whole = make(0x1C3A7);
    const Frames expected = pull(whole, 9000, 1);
    freeChain(chain);
    addSource(nodetest::noise(20000, 7));
    ResamplerNode *pieces = make(0x1C3A7);
    EXPECT_EQ(pullInPieces(pieces, 9000, 1, {1, 1007, 3, 1500, 64}), expected);
}

// A step of 1008.0 or more would let the read position creep past the
// buffer; larger steps are stored as 1008.0.
TEST_F(ResamplerTest, StepsAbove1008AreLimitedAndStayInsideTheBuffer)
{
    const Frames input = nodetest::noise(60 * 1008 + 16);
    Frames expected;
    for (size_t i = 0; i < 60; ++i)
        expected.push_back(input[i * 1008]);
    for (uint32_t step : {0x03F00000u, 0x03F00001u, 0x03F70000u, 0x80000000u, 0xFFFFFFFFu}) {
        freeChain(chain);
        addSource(input);
        ResamplerNode *node = make(step);
        EXPECT_EQ(node->step, MAX_RESAMPLE_STEP);
        EXPECT_EQ(pull(node, 60, 1), expected) << "step " << step;
    }
}

TEST_F(ResamplerTest, FailedAllocationLeavesNothing)
{
    nodetest::expectCleanFailures([] { return createResampler(); });
}
