#include "graph/echo.h"
#include "graph/nodes.h"
#include "node_test_support.h"

using namespace dbm;
using nodetest::NodeTest;

namespace {

using Frames = std::vector<int16_t>;

class EchoTest : public NodeTest {
protected:
    EchoNode *make(uint32_t rate = 44100, uint32_t mode = ECHO_GLOBAL)
    {
        return add<EchoNode>(createEcho(rate, mode));
    }
    static void set(EchoNode *node, uint32_t delay, uint32_t feedback, uint32_t mix,
                    uint32_t cross)
    {
        const NodeTag tags[] = {{TAG_ECHO_DELAY, delay},
                                {TAG_ECHO_FEEDBACK, feedback},
                                {TAG_ECHO_MIX, mix},
                                {TAG_ECHO_CROSS, cross},
                                {}};
        node->setParameters(tags);
    }
    // A stereo input holding one left value at frame 0.
    static Frames leftImpulse(int16_t value)
    {
        Frames frames(2 * 30000, 0);
        frames[0] = value;
        return frames;
    }
    // The non-zero values of a stereo stream as {frame, channel, value}.
    static std::vector<std::array<int, 3>> nonZero(const Frames &frames)
    {
        std::vector<std::array<int, 3>> found;
        for (size_t i = 0; i < frames.size(); ++i)
            if (frames[i])
                found.push_back({int(i / 2), int(i % 2), frames[i]});
        return found;
    }
};

} // namespace

TEST_F(EchoTest, DelayLineHoldsAboutHalfASecondAtEveryRate)
{
    EXPECT_EQ(make(44100)->bufferFrames, 22738);
    EXPECT_EQ(make(8000)->bufferFrames, 4128);
    EXPECT_EQ(make(192000)->bufferFrames, 99003);
}

TEST_F(EchoTest, StartsWithTheDefaultDelayAndWeightsAndAnswersItsMode)
{
    EchoNode *node = make(44100, ECHO_TRACK);
    EXPECT_EQ(node->delayFrames, 5645);
    EXPECT_EQ(node->wetLevel, 128);
    EXPECT_EQ(node->dryLevel, 128);
    EXPECT_EQ(node->crossFeedback, 32640);
    EXPECT_EQ(node->crossInput, 32640);
    EXPECT_EQ(node->directFeedback, 128);
    EXPECT_EQ(node->directInput, 128);
    uint32_t mode = 0;
    EXPECT_EQ(node->getAttribute(ATTR_ECHO_MODE, &mode), 1u);
    EXPECT_EQ(mode, uint32_t(ECHO_TRACK));
    EXPECT_EQ(node->getAttribute(ATTR_POSITION, &mode), 0u);
}

TEST_F(EchoTest, MixZeroPassesTheInputWhileTheLineFills)
{
    const Frames input = nodetest::noise(2 * 3000);
    addSource(input, 2);
    EchoNode *node = make();
    set(node, 10, 200, 0, 100);
    EXPECT_EQ(pull(node, 3000, 2), input);
    EXPECT_NE(nonZero(Frames(node->buffer, node->buffer + 2 * 3000)).size(), 0u);
}

TEST_F(EchoTest, ImpulseComesOutAtHalfNowAndOnceMoreOneDelayLater)
{
    addSource(leftImpulse(20000), 2);
    EchoNode *node = make();
    set(node, 1, 0, 128, 0);
    EXPECT_EQ(node->delayFrames, 88);
    const auto found = nonZero(pull(node, 30000, 2));
    EXPECT_EQ(found, (std::vector<std::array<int, 3>>{{0, 0, 10000}, {88, 0, 10000}}));
}

TEST_F(EchoTest, FullCrossFeedMovesTheEchoToTheOtherSide)
{
    addSource(leftImpulse(20000), 2);
    EchoNode *node = make();
    set(node, 1, 0, 128, 255);
    const auto found = nonZero(pull(node, 30000, 2));
    // Line input: left 20000 * 256 >> 16 = 78, right 20000 * 65280 >> 16 = 19921.
    EXPECT_EQ(found,
              (std::vector<std::array<int, 3>>{{0, 0, 10000}, {88, 0, 39}, {88, 1, 9960}}));
}

TEST_F(EchoTest, PullsOfAnySizeGiveTheStreamOfOnePull)
{
    const Frames input = nodetest::noise(2 * 40000, 3);
    addSource(input, 2);
    const Frames expected = pull(make(), 40000, 2);
    freeChain(chain);
    addSource(input, 2);
    EXPECT_EQ(pullInPieces(make(), 40000, 2, {1, 15, 16, 17, 1000, 7}), expected);
}

TEST_F(EchoTest, AnyShareRecomputesEveryWeightWithZeroForTheOthers)
{
    EchoNode *node = make();
    const NodeTag tags[] = {{TAG_ECHO_MIX, 200}, {}};
    node->setParameters(tags);
    EXPECT_EQ(node->wetLevel, 200);
    EXPECT_EQ(node->dryLevel, 56);
    EXPECT_EQ(node->directInput, 65536);
    EXPECT_EQ(node->crossInput + node->crossFeedback + node->directFeedback, 0);
    EXPECT_EQ(node->delayFrames, 5645);
}

TEST_F(EchoTest, DelayChangeKeepsTheLineAndTheWriteIndex)
{
    addSource(nodetest::noise(2 * 500), 2);
    EchoNode *node = make();
    pull(node, 500, 2);
    const Frames line(node->buffer, node->buffer + 2 * node->bufferFrames);
    const NodeTag tags[] = {{TAG_ECHO_DELAY, 255}, {}};
    node->setParameters(tags);
    EXPECT_EQ(node->delayFrames, 22491);
    EXPECT_EQ(node->writeIndex, 500);
    EXPECT_EQ(Frames(node->buffer, node->buffer + 2 * node->bufferFrames), line);
    EXPECT_EQ(node->crossFeedback, 32640); // shares untouched
}

TEST_F(EchoTest, ValuesAbove255CountAs255)
{
    EchoNode *node = make(8000);
    set(node, 100000, 0xFFFFFFFF, 1000, 256);
    EXPECT_EQ(node->delayFrames, 4080);
    EXPECT_EQ(node->wetLevel, 255);
    EXPECT_EQ(node->crossFeedback, 255 * 255);
    EXPECT_EQ(node->directInput, 1);
}

TEST_F(EchoTest, ReportsSoundingAfterItsInputHasEndedAndResetKeepsTheTail)
{
    nodetest::FrameSource *source = addSource(leftImpulse(20000), 2);
    source->result = 0;
    EchoNode *node = make();
    set(node, 1, 0, 128, 0);
    uint32_t result = 0;
    pull(node, 10, 2, &result);
    EXPECT_EQ(result, 1u);
    node->reset();
    const auto found = nonZero(pull(node, 100, 2));
    EXPECT_EQ(found, (std::vector<std::array<int, 3>>{{78, 0, 10000}}));
}

TEST_F(EchoTest, RatesOutsideTheEnginesRangeAreRefused)
{
    EXPECT_EQ(createEcho(7999, ECHO_GLOBAL), nullptr);
    EXPECT_EQ(createEcho(192001, ECHO_GLOBAL), nullptr);
}

TEST_F(EchoTest, FailedAllocationLeavesNothing)
{
    nodetest::expectCleanFailures([] { return createEcho(44100, ECHO_GLOBAL); });
}
