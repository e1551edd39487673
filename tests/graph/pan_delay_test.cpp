#include "graph/nodes.h"
#include "graph/pan_delay.h"
#include "node_test_support.h"

using namespace dbm;
using nodetest::NodeTest;

namespace {

using Frames = std::vector<int16_t>;

class PanDelayTest : public NodeTest {
protected:
    void SetUp() override
    {
        NodeTest::SetUp();
        // The engine's table at 44100 Hz: 14 frames at full panning.
        const int32_t k = 44100 * 333 / 1000000;
        for (int32_t i = 0; i < 128; ++i)
            table[i] = int16_t(((i + 1) * (i + 1) * k) >> 14);
    }
    PanDelayNode *make(int32_t panning)
    {
        PanDelayNode *node = add<PanDelayNode>(createPanDelay(table));
        pan(node, panning);
        return node;
    }
    static void pan(PanDelayNode *node, int32_t panning)
    {
        const NodeTag tags[] = {{TAG_PANNING, uint32_t(panning)}, {}};
        node->setParameters(tags);
    }
    // Stereo frames whose left channel is `left` delayed by leftLag frames
    // (silence before) and likewise right, from input frame `from` on.
    static Frames lagged(const Frames &input, size_t from, size_t count, size_t leftLag,
                         size_t rightLag)
    {
        Frames out;
        for (size_t i = from; i < from + count; ++i) {
            out.push_back(i >= leftLag ? input[i - leftLag] : 0);
            out.push_back(i >= rightLag ? input[i - rightLag] : 0);
        }
        return out;
    }

    int16_t table[128] = {};
    Frames input = nodetest::noise(8000);
};

} // namespace

TEST_F(PanDelayTest, CentreCarriesTheInputOnBothChannelsAtOnce)
{
    addSource(input);
    EXPECT_EQ(pull(make(0), 3000, 2), lagged(input, 0, 3000, 0, 0));
}

TEST_F(PanDelayTest, FullRightDelaysTheLeftBy14FramesOfSilenceAfterAReset)
{
    addSource(input);
    PanDelayNode *node = make(128);
    EXPECT_EQ(pull(node, 100, 2), lagged(input, 0, 100, 14, 0));
    node->reset();
    const Frames rest(input.begin() + 100, input.end());
    EXPECT_EQ(pull(node, 20, 2), lagged(rest, 0, 20, 14, 0));
}

TEST_F(PanDelayTest, Left40DelaysTheRightByOneFrame)
{
    addSource(input);
    EXPECT_EQ(pull(make(-40), 50, 2), lagged(input, 0, 50, 0, 1));
}

TEST_F(PanDelayTest, ChangeBetweenPullsJumpsWithinTheHistory)
{
    addSource(input);
    PanDelayNode *node = make(128);
    pull(node, 30, 2);
    pan(node, -128);
    EXPECT_EQ(pull(node, 30, 2), lagged(input, 30, 30, 0, 14));
}

TEST_F(PanDelayTest, PullsOfOneAnd3000FramesGiveTheStreamOfOnePull)
{
    addSource(input);
    PanDelayNode *node = make(100);
    const size_t lag = size_t(table[99]);
    EXPECT_EQ(pullInPieces(node, 6002, 2, {1, 3000}), lagged(input, 0, 6002, lag, 0));
}

TEST_F(PanDelayTest, PanningOutsideTheRangeCountsAsItsNearestEnd)
{
    PanDelayNode *node = make(1000);
    EXPECT_EQ(node->leftDelay, 14);
    pan(node, -100000);
    EXPECT_EQ(node->rightDelay, 14);
    EXPECT_EQ(node->leftDelay, 0);
    pan(node, int32_t(0x80000000u));
    EXPECT_EQ(node->rightDelay, 14);
}

TEST_F(PanDelayTest, TableDelaysBeyondTheHistoryCountAs64)
{
    for (auto &entry : table)
        entry = 300;
    PanDelayNode *node = make(5);
    EXPECT_EQ(node->leftDelay, 64);
}

TEST_F(PanDelayTest, ResetForwardsAndResultIsThatOfTheLastPull)
{
    nodetest::FrameSource *source = addSource(input);
    source->result = 0;
    PanDelayNode *node = make(0);
    uint32_t result = 1;
    pull(node, 2000, 2, &result);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(source->pulls, (std::vector<uint32_t>{1024, 976}));
    node->reset();
    EXPECT_EQ(source->resets, 1);
    EXPECT_EQ(node->pull(nullptr, 0), 1u);
}

TEST_F(PanDelayTest, FailedAllocationLeavesNothingAndATableIsNeeded)
{
    EXPECT_EQ(createPanDelay(nullptr), nullptr);
    nodetest::expectCleanFailures([&] { return createPanDelay(table); });
}
