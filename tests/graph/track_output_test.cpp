#include "graph/nodes.h"
#include "graph/track_output.h"
#include "node_test_support.h"

using namespace dbm;
using nodetest::NodeTest;

TEST_F(NodeTest, TrackOutputPullsAndResetsTheVoiceChainsLastNode)
{
    NodeList voice;
    auto *first = hostNew<nodetest::FrameSource>();
    auto *last = hostNew<nodetest::FrameSource>();
    last->channels = 2;
    last->values = {1, 2, 3, 4};
    last->result = 0;
    voice.append(first);
    voice.append(last);
    ProcessingNode *node = add<ProcessingNode>(createTrackOutput(&voice));
    uint32_t result = 1;
    EXPECT_EQ(pull(node, 3, 2, &result), (std::vector<int16_t>{1, 2, 3, 4, 0, 0}));
    EXPECT_EQ(result, 0u);
    node->reset();
    EXPECT_EQ(last->resets, 1);
    EXPECT_TRUE(first->pulls.empty());
    EXPECT_EQ(first->resets, 0);
    freeChain(voice);
}

TEST_F(NodeTest, TrackOutputOfAnEmptyVoiceChainIsSilentAndEnded)
{
    NodeList voice;
    ProcessingNode *node = add<ProcessingNode>(createTrackOutput(&voice));
    uint32_t result = 1;
    EXPECT_EQ(pull(node, 2, 2, &result), (std::vector<int16_t>(4, 0)));
    EXPECT_EQ(result, 0u);
    node->reset();
    uint32_t value = 0;
    EXPECT_EQ(node->getAttribute(ATTR_ECHO_MODE, &value), 0u);
}

TEST_F(NodeTest, TrackOutputFailedAllocationLeavesNothing)
{
    NodeList voice;
    nodetest::expectCleanFailures([&] { return createTrackOutput(&voice); });
}
