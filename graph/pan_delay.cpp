#include "graph/pan_delay.h"

#include "base/host_services.h"
#include "graph/gain_stage.h"
#include "graph/nodes.h"

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

template <typename Deliver>
uint32_t PanDelayNode::eachPiece(uint32_t frames, Deliver deliver)
{
    uint32_t result = 1;
    int16_t *piece = window + PAN_HISTORY_FRAMES;
    for (uint32_t done = 0; done < frames;) {
        const uint32_t count = frames - done < PAN_PIECE_FRAMES ? frames - done : PAN_PIECE_FRAMES;
        result = pullPredecessor(piece, count, 1);
        deliver(piece - leftDelay, piece - rightDelay, done, count);
        // The last 64 frames become the history of the next piece; the
        // ranges overlap for short pieces.
        std::memmove(window, window + count, PAN_HISTORY_FRAMES * sizeof *window);
        done += count;
    }
    return result;
}

uint32_t PanDelayNode::pull(int16_t *out, uint32_t frames)
{
    return eachPiece(frames, [out](const int16_t *left, const int16_t *right, uint32_t done,
                                   uint32_t count) {
        int16_t *to = out + 2 * size_t(done);
#pragma GCC unroll 4 // loop control shared by four frames on a scalar CPU
        for (uint32_t i = 0; i < count; ++i) {
            to[2 * i] = left[i];
            to[2 * i + 1] = right[i];
        }
    });
}

uint32_t PanDelayNode::mixInto(int32_t *mix, int16_t *scratch, int16_t leftGain,
                               int16_t rightGain, uint32_t frames)
{
#if defined(__SSE2__)
    // Vectorised, the two plain passes through scratch are the faster way.
    return ProcessingNode::mixInto(mix, scratch, leftGain, rightGain, frames);
#else
    (void)scratch;
    return eachPiece(frames, [=](const int16_t *left, const int16_t *right, uint32_t done,
                                 uint32_t count) {
        int32_t *to = mix + 2 * size_t(done);
#pragma GCC unroll 4
        for (uint32_t i = 0; i < count; ++i) {
            to[2 * i] = addScaled(to[2 * i], leftGain, left[i]);
            to[2 * i + 1] = addScaled(to[2 * i + 1], rightGain, right[i]);
        }
    });
#endif
}

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
