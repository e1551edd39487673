#include "graph/nodes.h"
#include "graph/sample_source.h"
#include "node_test_support.h"

#include <numeric>

using namespace dbm;
using nodetest::NodeTest;

namespace {

using Frames = std::vector<int16_t>;

// Frame i of the test samples holds i.
Frames ramp(int count)
{
    Frames frames(count);
    std::iota(frames.begin(), frames.end(), int16_t(0));
    return frames;
}

class SampleSourceTest : public NodeTest {
protected:
    SampleSourceNode *make(int32_t loopStart, int32_t loopLength, uint32_t mode)
    {
        return add<SampleSourceNode>(
            createSampleSource(sample.data(), loopStart, loopLength, int32_t(sample.size()), mode));
    }
    static void start(SampleSourceNode *node, uint32_t backwards, int32_t offset)
    {
        const NodeTag tags[] = {{TAG_BACKWARDS, backwards}, {TAG_POSITION, uint32_t(offset)}, {}};
        node->setParameters(tags);
    }

    Frames sample = ramp(8);
};

} // namespace

TEST_F(SampleSourceTest, WithoutLoopPadsWithSilenceAndReportsTheEnd)
{
    sample = {10, 20, 30, 40, 50};
    SampleSourceNode *node = make(0, 0, LOOP_NONE);
    uint32_t result = 1;
    EXPECT_EQ(pull(node, 8, 1, &result), (Frames{10, 20, 30, 40, 50, 0, 0, 0}));
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(pull(node, 8, 1, &result), Frames(8, 0));
    EXPECT_EQ(result, 0u);
}

TEST_F(SampleSourceTest, BackwardsFromOffsetZeroStartsAtTheLastFrame)
{
    sample = {10, 20, 30, 40, 50};
    SampleSourceNode *node = make(0, 0, LOOP_NONE);
    start(node, 1, 0);
    uint32_t result = 1;
    EXPECT_EQ(pull(node, 8, 1, &result), (Frames{50, 40, 30, 20, 10, 0, 0, 0}));
    EXPECT_EQ(result, 0u);
}

TEST_F(SampleSourceTest, ForwardLoopReturnsFromItsEndToItsStart)
{
    SampleSourceNode *node = make(2, 3, LOOP_FORWARD);
    uint32_t result = 0;
    EXPECT_EQ(pull(node, 12, 1, &result), (Frames{0, 1, 2, 3, 4, 2, 3, 4, 2, 3, 4, 2}));
    EXPECT_EQ(result, 1u);
}

TEST_F(SampleSourceTest, ForwardLoopStartedBackwardsAboveItLoopsDownwards)
{
    SampleSourceNode *node = make(2, 3, LOOP_FORWARD);
    start(node, 1, 1); // cursor 7
    uint32_t result = 0;
    EXPECT_EQ(pull(node, 12, 1, &result), (Frames{6, 5, 4, 3, 2, 4, 3, 2, 4, 3, 2, 4}));
    EXPECT_EQ(result, 1u);
}

TEST_F(SampleSourceTest, ForwardLoopStartedBackwardsBelowItEndsAtFrameZero)
{
    SampleSourceNode *node = make(2, 3, LOOP_FORWARD);
    start(node, 1, 7); // cursor 1
    uint32_t result = 1;
    EXPECT_EQ(pull(node, 4, 1, &result), (Frames{0, 0, 0, 0}));
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(node->position, 0);
}

TEST_F(SampleSourceTest, OffsetBeyondTheLoopEndPlaysToTheSampleEnd)
{
    SampleSourceNode *node = make(2, 3, LOOP_FORWARD);
    start(node, 0, 6);
    uint32_t result = 1;
    EXPECT_EQ(pull(node, 4, 1, &result), (Frames{6, 7, 0, 0}));
    EXPECT_EQ(result, 0u);
}

TEST_F(SampleSourceTest, PingPongPlaysEachTurningFrameTwice)
{
    SampleSourceNode *node = make(2, 3, LOOP_PINGPONG);
    uint32_t result = 0;
    EXPECT_EQ(pull(node, 16, 1, &result),
              (Frames{0, 1, 2, 3, 4, 4, 3, 2, 2, 3, 4, 4, 3, 2, 2, 3}));
    EXPECT_EQ(result, 1u);
}

TEST_F(SampleSourceTest, LoopModeThreePlaysPingPong)
{
    SampleSourceNode *node = make(2, 3, 3);
    EXPECT_EQ(pull(node, 10, 1), (Frames{0, 1, 2, 3, 4, 4, 3, 2, 2, 3}));
}

TEST_F(SampleSourceTest, PullsOfAnySizeGiveTheStreamOfOnePull)
{
    for (uint32_t mode : {LOOP_NONE, LOOP_FORWARD, LOOP_PINGPONG}) {
        sample = ramp(50);
        SampleSourceNode *whole = make(7, 11, mode);
        SampleSourceNode *pieces = make(7, 11, mode);
        start(whole, mode == LOOP_PINGPONG, 3);
        start(pieces, mode == LOOP_PINGPONG, 3);
        EXPECT_EQ(pullInPieces(pieces, 400, 1, {1, 2, 3, 5, 8, 13, 21, 34}), pull(whole, 400, 1))
            << "loop mode " << mode;
    }
}

// Short loops are played whole passes at a time in large pulls; frames and
// firing counts must match a frame-by-frame pull, also when a count runs out.
TEST_F(SampleSourceTest, ShortLoopsInLargePullsMatchPullsOfOneFrame)
{
    sample = ramp(12);
    for (uint32_t mode : {LOOP_FORWARD, LOOP_PINGPONG})
        for (uint32_t backwards : {0u, 1u})
            for (int32_t loopLength : {1, 3})
                for (int32_t count : {0x7FFFFFFF, 40}) {
                    SampleSourceNode *large = make(4, loopLength, mode);
                    SampleSourceNode *single = make(4, loopLength, mode);
                    for (SampleSourceNode *node : {large, single}) {
                        start(node, backwards, 2);
                        node->eventRecordA.remaining = count;
                        node->eventRecordB.remaining = count;
                    }
                    EXPECT_EQ(pullInPieces(large, 600, 1, {1, 250, 97, 252}),
                              pullInPieces(single, 600, 1, {1}))
                        << "mode " << mode << " backwards " << backwards << " loop "
                        << loopLength << " count " << count;
                    EXPECT_EQ(large->eventRecordA.remaining, single->eventRecordA.remaining);
                    EXPECT_EQ(large->eventRecordB.remaining, single->eventRecordB.remaining);
                    EXPECT_EQ(large->position, single->position);
                }
}

TEST_F(SampleSourceTest, PositionIsClampedIntoTheSampleAndAnswered)
{
    SampleSourceNode *node = make(0, 0, LOOP_NONE);
    uint32_t position = 99;
    const NodeTag beyond[] = {{TAG_POSITION, 100}, {}};
    node->setParameters(beyond);
    EXPECT_EQ(node->getAttribute(ATTR_POSITION, &position), 1u);
    EXPECT_EQ(position, 8u);
    const NodeTag negative[] = {{TAG_POSITION, uint32_t(-5)}, {}};
    node->setParameters(negative);
    EXPECT_EQ(node->getAttribute(ATTR_POSITION, &position), 1u);
    EXPECT_EQ(position, 0u);
    start(node, 1, int32_t(0x80000000u)); // from the end, far out of range
    EXPECT_EQ(node->position, 8);
    uint32_t untouched = 7;
    EXPECT_EQ(node->getAttribute(ATTR_ECHO_MODE, &untouched), 0u);
    EXPECT_EQ(untouched, 7u);
}

// Hours of a one-frame loop at a high pitch use up an event's firing count;
// the source must then play on instead of stopping at the event for ever.
TEST_F(SampleSourceTest, UsedUpEventNeitherFiresNorHoldsTheSource)
{
    SampleSourceNode *node = make(2, 3, LOOP_FORWARD);
    node->eventRecordA.remaining = 2;
    uint32_t result = 1;
    EXPECT_EQ(pull(node, 16, 1, &result),
              (Frames{0, 1, 2, 3, 4, 2, 3, 4, 2, 3, 4, 5, 6, 7, 0, 0}));
    EXPECT_EQ(result, 0u);
}

TEST_F(SampleSourceTest, UsedUpEventAtTheCursorLetsTheSourcePass)
{
    SampleSourceNode *node = make(2, 3, LOOP_PINGPONG);
    start(node, 0, 5); // exactly at the forward turning point
    node->eventRecordB.remaining = 0;
    EXPECT_EQ(pull(node, 4, 1), (Frames{5, 6, 7, 0}));
}

TEST_F(SampleSourceTest, BackwardsTagArmsTheEventsAfresh)
{
    SampleSourceNode *node = make(2, 3, LOOP_FORWARD);
    node->eventRecordA.remaining = 0;
    start(node, 0, 0);
    EXPECT_EQ(node->eventRecordA.remaining, 0x7FFFFFFF);
    EXPECT_EQ(pull(node, 8, 1), (Frames{0, 1, 2, 3, 4, 2, 3, 4}));
}

TEST_F(SampleSourceTest, LoopOutsideTheSampleIsRefused)
{
    EXPECT_EQ(createSampleSource(sample.data(), 6, 3, 8, LOOP_FORWARD), nullptr);
    EXPECT_EQ(createSampleSource(sample.data(), -1, 2, 8, LOOP_PINGPONG), nullptr);
    EXPECT_EQ(createSampleSource(sample.data(), 2, 0, 8, LOOP_FORWARD), nullptr);
    EXPECT_EQ(createSampleSource(sample.data(), 0, 0, -1, LOOP_NONE), nullptr);
    EXPECT_EQ(createSampleSource(nullptr, 0, 0, 8, LOOP_NONE), nullptr);
}

TEST_F(SampleSourceTest, FailedAllocationLeavesNothing)
{
    nodetest::expectCleanFailures(
        [&] { return createSampleSource(sample.data(), 2, 3, 8, LOOP_FORWARD); });
}
