#include "graph/resampler.h"

#include "graph/fixed_point.h"
#include "graph/nodes.h"
#include "plugin/host_services.h"

#include <cstring>

namespace dbm {

namespace {

constexpr uint32_t SLIDE_POSITION = RESAMPLER_SLIDE_FRAMES << 16;

} // namespace

ProcessingNode *createResampler()
{
    ResamplerNode *node = hostNew<ResamplerNode>();
    if (!node)
        return nullptr;
    node->buffer = hostArray<int16_t>(RESAMPLER_BUFFER_FRAMES);
    if (!node->buffer) {
        hostDelete(node);
        return nullptr;
    }
    return node;
}

namespace {

// `count` output frames by linear interpolation from `source` (source frame i
// at source[i]), starting at 16.16 `position` and advancing by `step`. The
// caller guarantees that every position read stays below the slide point.
void interpolate(int16_t *__restrict out, const int16_t *__restrict source, uint32_t position,
                 uint32_t step, uint32_t count)
{
    for (uint32_t k = 0; k < count; ++k) {
        const int16_t *pair = source + (position >> 16);
        const int32_t fraction = static_cast<int32_t>(position & 0xFFFF);
        const int32_t s0 = pair[0];
        const int32_t s1 = pair[1];
        out[k] = low16(wrapAdd(s0, wrapMul(s1 - s0, fraction) >> 16));
        position += step;
    }
}

} // namespace

uint32_t ResamplerNode::pull(int16_t *out, uint32_t frames)
{
    uint32_t result = 1;
    while (frames > 0) {
        if (refill) {
            std::memset(buffer, 0, RESAMPLER_LEAD_IN * sizeof *buffer);
            result = pullPredecessor(buffer + RESAMPLER_LEAD_IN, RESAMPLER_REFILL_FRAMES, 1);
            refill = 0;
            position = 0;
        }
        if (position >= SLIDE_POSITION) {
            // Keep the last 16 entries (8 lead-in, 8 unread source frames)
            // and read the next 1008 source frames behind them.
            std::memcpy(buffer, buffer + RESAMPLER_SLIDE_FRAMES, 16 * sizeof *buffer);
            result = pullPredecessor(buffer + 16, RESAMPLER_SLIDE_FRAMES, 1);
            position -= SLIDE_POSITION;
        }
        // The frames before the position reaches the slide point need no
        // checks: the first n with position + n x step >= 1008.0 is
        // ceil((1008.0 - position) / step).
        uint32_t run = frames;
        if (step > 0) {
            const uint32_t untilSlide = (SLIDE_POSITION - position + step - 1) / step;
            if (untilSlide < run)
                run = untilSlide;
        }
        interpolate(out, buffer + RESAMPLER_LEAD_IN, position, step, run);
        position += run * step;
        out += run;
        frames -= run;
    }
    return result;
}

void ResamplerNode::destroy()
{
    hostFree(buffer);
    hostDelete(this);
}

void ResamplerNode::setParameters(const NodeTag *tags)
{
    for (; tags && tags->id != TAG_END; ++tags) {
        if (tags->id == TAG_RESAMPLE_STEP)
            step = tags->value < MAX_RESAMPLE_STEP ? tags->value : MAX_RESAMPLE_STEP;
    }
}

void ResamplerNode::reset()
{
    if (prev)
        prev->reset();
    refill = 1;
}

} // namespace dbm
