// Test helpers for the node kinds: a predecessor of known frames, a fixture
// that owns a chain and checks that every host block comes back, and a check
// that each allocation of a constructor failing in turn leaves nothing.
#pragma once

#include "base/host_services.h"
#include "graph/node.h"
#include "host/services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace nodetest {

// Produces `values` (interleaved when stereo), then silence; records the
// sizes of its pulls and counts its resets.
class FrameSource final : public dbm::ProcessingNode {
public:
    FrameSource() : ProcessingNode(0) {}
    ~FrameSource() = default;

    uint32_t pull(int16_t *buffer, uint32_t frames) override
    {
        pulls.push_back(frames);
        for (size_t i = 0; i < size_t(frames) * channels; ++i) {
            const size_t k = cursor * channels + i;
            buffer[i] = k < values.size() ? values[k] : 0;
        }
        cursor += frames;
        return result;
    }
    void destroy() override { dbm::hostDelete(this); }
    void setParameters(const dbm::NodeTag *) override {}
    uint32_t getAttribute(uint32_t, uint32_t *) override { return 0; }
    void reset() override { ++resets; }

    std::vector<int16_t> values;
    uint32_t channels = 1;
    size_t cursor = 0;
    uint32_t result = 1;
    std::vector<uint32_t> pulls;
    int resets = 0;
};

// Frames that differ from their neighbours in irregular ways, full range.
inline std::vector<int16_t> noise(size_t count, uint32_t seed = 1)
{
    std::vector<int16_t> values(count);
    for (auto &v : values) {
        seed = seed * 1103515245u + 12345u;
        v = static_cast<int16_t>(seed >> 16);
    }
    return values;
}

class NodeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dbm::pluginGlobals.host = kvhost::serviceRecord(10);
        kvhost::resetHostControls();
        startBlocks = kvhost::outstandingBlocks();
    }
    void TearDown() override
    {
        dbm::freeChain(chain);
        kvhost::resetHostControls();
        EXPECT_EQ(kvhost::outstandingBlocks(), startBlocks);
    }

    // Appends `node` to the fixture's chain (freed at the end of the test).
    template <class T> T *add(dbm::ProcessingNode *node)
    {
        EXPECT_NE(node, nullptr);
        if (node)
            chain.append(node);
        return static_cast<T *>(node);
    }
    FrameSource *addSource(std::vector<int16_t> values, uint32_t channels = 1)
    {
        FrameSource *source = dbm::hostNew<FrameSource>();
        source->values = std::move(values);
        source->channels = channels;
        chain.append(source);
        return source;
    }

    // `frames` frames of `channels` values pulled from `node` in one call.
    static std::vector<int16_t> pull(dbm::ProcessingNode *node, uint32_t frames,
                                     uint32_t channels, uint32_t *result = nullptr)
    {
        std::vector<int16_t> out(size_t(frames) * channels, 0x5555);
        const uint32_t r = node->pull(out.data(), frames);
        if (result)
            *result = r;
        return out;
    }
    // The same stream pulled in pieces of the given sizes, cycled.
    static std::vector<int16_t> pullInPieces(dbm::ProcessingNode *node, uint32_t total,
                                             uint32_t channels, std::vector<uint32_t> sizes)
    {
        std::vector<int16_t> out;
        for (size_t i = 0; total > 0; ++i) {
            const uint32_t size = std::min(sizes[i % sizes.size()], total);
            const auto piece = pull(node, size, channels);
            out.insert(out.end(), piece.begin(), piece.end());
            total -= size;
        }
        return out;
    }

    dbm::NodeList chain;
    size_t startBlocks = 0;
};

// Every allocation `create` makes fails in turn: each gives null and leaves
// no block behind; with none failing it succeeds.
inline void expectCleanFailures(const std::function<dbm::ProcessingNode *()> &create)
{
    const size_t before = kvhost::outstandingBlocks();
    const uint64_t first = kvhost::allocationCount();
    dbm::ProcessingNode *node = create();
    ASSERT_NE(node, nullptr);
    const uint64_t allocations = kvhost::allocationCount() - first;
    node->destroy();
    EXPECT_GT(allocations, 0u);
    for (uint64_t k = 1; k <= allocations; ++k) {
        kvhost::failAllocation(k);
        EXPECT_EQ(create(), nullptr) << "allocation " << k << " failing";
        kvhost::failAllocation(0);
        EXPECT_EQ(kvhost::outstandingBlocks(), before) << "allocation " << k << " failing";
    }
}

} // namespace nodetest
