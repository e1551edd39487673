#include "graph/nodes.h"
#include "graph/sample_source.h"
#include "node_test_support.h"

using namespace dbm;
using nodetest::NodeTest;

// The resampler reads ahead, so a sample's end is reported in the block in
// which the read-ahead meets it, and passes unchanged through the pan delay.
TEST_F(NodeTest, VoiceChainReportsTheEndInTheBlockWhoseReadAheadMeetsIt)
{
    const std::vector<int16_t> sample = nodetest::noise(2000);
    const int16_t table[128] = {};
    add<SampleSourceNode>(createSampleSource(sample.data(), 0, 0, 2000, LOOP_NONE));
    add<ProcessingNode>(createResampler());
    ProcessingNode *last = add<ProcessingNode>(createPanDelay(table));
    uint32_t result = 0;
    std::vector<int16_t> expected;
    for (int16_t frame : sample) {
        expected.push_back(frame);
        expected.push_back(frame);
    }
    const auto first = pull(last, 1000, 2, &result);
    EXPECT_EQ(result, 1u);
    const auto second = pull(last, 1000, 2, &result);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(std::vector<int16_t>(expected.begin(), expected.begin() + 2000), first);
    EXPECT_EQ(std::vector<int16_t>(expected.begin() + 2000, expected.end()), second);
}
