#include "graph/echo.h"

#include "graph/fixed_point.h"
#include "graph/nodes.h"
#include "plugin/host_services.h"

namespace dbm {

namespace {

constexpr uint32_t MIN_RATE = 8000;
constexpr uint32_t MAX_RATE = 192000;
constexpr uint32_t MAX_SHARE = 255;

uint32_t limitShare(uint32_t value)
{
    return value < MAX_SHARE ? value : MAX_SHARE;
}

// Delay in frames for `units` of 2 ms, rounded to the nearest frame.
int32_t delayFramesFor(uint32_t sampleRate, uint32_t units)
{
    return (static_cast<int32_t>(sampleRate) * static_cast<int32_t>(units) + 250) / 500;
}

} // namespace

ProcessingNode *createEcho(uint32_t sampleRate, uint32_t mode)
{
    if (sampleRate < MIN_RATE || sampleRate > MAX_RATE)
        return nullptr;
    EchoNode *node = hostNew<EchoNode>();
    if (!node)
        return nullptr;
    node->mode = mode;
    node->sampleRate = sampleRate;
    const int32_t rate = static_cast<int32_t>(sampleRate);
    // The bit of value 4 is cleared (a mask, not a rounding to a multiple of
    // 4). The exact length is audible: a delay of 0 plays the frame written
    // one whole line earlier.
    node->bufferFrames = ((rate >> 1) + (rate >> 6) + 3) & ~int32_t(4);
    node->buffer = hostArray<int16_t>(2 * static_cast<uint32_t>(node->bufferFrames));
    if (!node->buffer) {
        hostDelete(node);
        return nullptr;
    }
    node->delayFrames = delayFramesFor(sampleRate, 64);
    node->wetLevel = 128;
    node->dryLevel = 128;
    node->crossFeedback = 32640;
    node->crossInput = 32640;
    node->directFeedback = 128;
    node->directInput = 128;
    return node;
}

uint32_t EchoNode::pull(int16_t *out, uint32_t frames)
{
    int16_t block[2 * ECHO_BLOCK_FRAMES];
    while (frames > 0) {
        const uint32_t count = frames < ECHO_BLOCK_FRAMES ? frames : ECHO_BLOCK_FRAMES;
        pullPredecessor(block, count, 2);
        for (uint32_t i = 0; i < count; ++i) {
            int32_t read = writeIndex - delayFrames;
            if (read < 0)
                read += bufferFrames;
            const int32_t xL = block[2 * i];
            const int32_t xR = block[2 * i + 1];
            const int32_t dL = buffer[2 * read];
            const int32_t dR = buffer[2 * read + 1];
            // The weights add up to 65536 (and 256), so no sum leaves 32 bits.
            buffer[2 * writeIndex] = low16(
                (xL * directInput + xR * crossInput + dL * directFeedback + dR * crossFeedback) >>
                16);
            buffer[2 * writeIndex + 1] = low16(
                (xR * directInput + xL * crossInput + dR * directFeedback + dL * crossFeedback) >>
                16);
            out[2 * i] = low16((xL * dryLevel + dL * wetLevel) >> 8);
            out[2 * i + 1] = low16((xR * dryLevel + dR * wetLevel) >> 8);
            if (++writeIndex == bufferFrames)
                writeIndex = 0;
        }
        out += 2 * count;
        frames -= count;
    }
    return 1;
}

void EchoNode::destroy()
{
    hostFree(buffer);
    hostDelete(this);
}

void EchoNode::setParameters(const NodeTag *tags)
{
    int32_t feedback = 0;
    int32_t mix = 0;
    int32_t cross = 0;
    bool sharesGiven = false;
    for (; tags && tags->id != TAG_END; ++tags) {
        const int32_t share = static_cast<int32_t>(limitShare(tags->value));
        switch (tags->id) {
        case TAG_ECHO_DELAY:
            delayFrames = delayFramesFor(sampleRate, limitShare(tags->value));
            break;
        case TAG_ECHO_FEEDBACK:
            feedback = share;
            sharesGiven = true;
            break;
        case TAG_ECHO_MIX:
            mix = share;
            sharesGiven = true;
            break;
        case TAG_ECHO_CROSS:
            cross = share;
            sharesGiven = true;
            break;
        default:
            break;
        }
    }
    if (!sharesGiven)
        return;
    wetLevel = mix;
    dryLevel = 256 - mix;
    crossFeedback = feedback * cross;
    crossInput = (256 - feedback) * cross;
    directFeedback = feedback * (256 - cross);
    directInput = (256 - feedback) * (256 - cross);
}

uint32_t EchoNode::getAttribute(uint32_t id, uint32_t *out)
{
    if (id != ATTR_ECHO_MODE)
        return 0;
    *out = mode;
    return 1;
}

} // namespace dbm
