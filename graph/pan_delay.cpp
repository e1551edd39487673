#include "graph/pan_delay.h"

#include "base/host_services.h"
#include "graph/nodes.h"
#include "graph/resampler.h"

#include <cstddef>
#include <cstring>

namespace dbm {

namespace {

constexpr int32_t MAX_PANNING = 128;

int32_t clampInto(int32_t value, int32_t low, int32_t high)
{
    return value < low ? low : value > high ? high : value;
}

} // namespace

ProcessingNode *createPanDelay(const int16_t *delayTable)
{
    if (!delayTable)
        return nullptr;
    PanDelayNode *node = hostNew<PanDelayNode>();
    if (!node)
        return nullptr;
    node->delayTable = delayTable;
    return node;
}

void PanDelayNode::keepHistory(uint32_t count)
{
    // The ranges overlap for pieces shorter than the history.
    std::memmove(window, window + count, PAN_HISTORY_FRAMES * sizeof *window);
}

uint32_t PanDelayNode::pull(int16_t *out, uint32_t frames)
{
    uint32_t result = 1;
    int16_t *piece = window + PAN_HISTORY_FRAMES;
    while (frames > 0) {
        const uint32_t count = frames < PAN_PIECE_FRAMES ? frames : PAN_PIECE_FRAMES;
        result = pullPredecessor(piece, count, 1);
        const int16_t *left = piece - leftDelay;
        const int16_t *right = piece - rightDelay;
#pragma GCC unroll 4 // loop control shared by four frames on a scalar CPU
        for (uint32_t i = 0; i < count; ++i) {
            out[2 * i] = left[i];
            out[2 * i + 1] = right[i];
        }
        keepHistory(count);
        out += 2 * count;
        frames -= count;
    }
    return result;
}

#if !defined(__SSE2__)
// The same pieces; the resampler before it adds the frames into the
// accumulator as it writes them into the window, which saves a pass.
uint32_t PanDelayNode::mixInto(int32_t *mix, int16_t *scratch, int16_t leftGain,
                               int16_t rightGain, uint32_t frames)
{
    if (!prev || prev->kind != NODE_RESAMPLER)
        return ProcessingNode::mixInto(mix, scratch, leftGain, rightGain, frames);
    ResamplerNode *resampler = static_cast<ResamplerNode *>(prev);
    uint32_t result = 1;
    int16_t *piece = window + PAN_HISTORY_FRAMES;
    while (frames > 0) {
        const uint32_t count = frames < PAN_PIECE_FRAMES ? frames : PAN_PIECE_FRAMES;
        result = resampler->pullMixing(piece, count,
                                       MixTaps{mix, leftGain, rightGain, leftDelay, rightDelay});
        keepHistory(count);
        mix += 2 * count;
        frames -= count;
    }
    return result;
}
#endif

void PanDelayNode::destroy()
{
    hostDelete(this);
}

void PanDelayNode::setParameters(const NodeTag *tags)
{
    for (; tags && tags->id != TAG_END; ++tags) {
        if (tags->id != TAG_PANNING)
            continue;
        const int32_t panning =
            clampInto(static_cast<int32_t>(tags->value), -MAX_PANNING, MAX_PANNING);
        leftDelay = 0;
        rightDelay = 0;
        if (panning < 0)
            rightDelay = clampInto(delayTable[-panning - 1], 0, PAN_HISTORY_FRAMES);
        else if (panning > 0)
            leftDelay = clampInto(delayTable[panning - 1], 0, PAN_HISTORY_FRAMES);
    }
}

void PanDelayNode::reset()
{
    if (prev)
        prev->reset();
    std::memset(window, 0, PAN_HISTORY_FRAMES * sizeof *window);
}

} // namespace dbm
