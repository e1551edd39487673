#include "graph/sample_source.h"

#include "base/fixed_point.h"
#include "base/host_services.h"
#include "graph/nodes.h"

#include <algorithm>
#include <cstring>

namespace dbm {

namespace {

constexpr int32_t FULL_FIRING_COUNT = 0x7FFFFFFF;

// An event that still fires, moving `direction`, at a cursor value within
// low..high - 1.
bool armedWithin(const LoopEvent *event, uint32_t direction, int64_t low, int64_t high)
{
    return event && event->remaining > 0 && event->direction == direction &&
           low <= event->position && event->position < high;
}

// Fills out[period..total) by repeating out[0..period): the block written so
// far is doubled until the end is reached.
void repeatPeriod(int16_t *out, int64_t period, int64_t total)
{
    for (int64_t done = period; done < total;) {
        const int64_t piece = std::min(done, total - done);
        std::memcpy(out + done, out, static_cast<size_t>(piece) * sizeof *out);
        done += piece;
    }
}

// Writes end[-1], end[-2], ..., end[-count] to out[0 .. count - 1]. On a
// scalar CPU two frames go at a time, as a 32-bit word whose two halves trade
// places (which reverses them in memory whatever the byte order); the frame
// by frame loop takes the rest, and all of it where the vectoriser turns that
// loop into one that reverses eight frames at a time.
void copyReversed(int16_t *out, const int16_t *end, int64_t count)
{
    int64_t i = 0;
#if !defined(__SSE2__)
#pragma GCC unroll 2 // loop control shared by four frames
    for (; i + 2 <= count; i += 2) {
        uint32_t pair;
        std::memcpy(&pair, end - 2 - i, sizeof pair);
        pair = (pair << 16) | (pair >> 16);
        std::memcpy(out + i, &pair, sizeof pair);
    }
#endif
#pragma GCC unroll 4 // loop control shared by four frames on a scalar CPU
    for (; i < count; ++i)
        out[i] = end[-1 - i];
}

} // namespace

ProcessingNode *createSampleSource(const int16_t *data, int32_t loopStart, int32_t loopLength,
                                   int32_t length, uint32_t loopMode)
{
    if (length < 0 || (!data && length > 0))
        return nullptr;
    if (loopMode != LOOP_NONE &&
        (loopStart < 0 || loopLength < 1 || loopLength > length - loopStart))
        return nullptr;
    SampleSourceNode *node = hostNew<SampleSourceNode>();
    if (!node)
        return nullptr;
    node->data = data;
    node->length = length;
    node->loopStart = loopStart;
    node->loopEnd = wrapSub(wrapAdd(loopStart, loopLength), 1);
    node->loopMode = loopMode;
    node->setUpLoopEvents();
    return node;
}

void SampleSourceNode::setUpLoopEvents()
{
    eventA = nullptr;
    eventB = nullptr;
    if (loopMode == LOOP_NONE)
        return;
    if (loopMode == LOOP_FORWARD) {
        const int32_t loopLength = loopEnd + 1 - loopStart;
        if (backwards)
            eventRecordA = {loopStart, loopLength, DIRECTION_BACKWARD, DIRECTION_BACKWARD,
                            FULL_FIRING_COUNT};
        else
            eventRecordA = {loopEnd + 1, -loopLength, DIRECTION_FORWARD, DIRECTION_FORWARD,
                            FULL_FIRING_COUNT};
        eventA = &eventRecordA;
        return;
    }
    eventRecordA = {loopStart, 0, DIRECTION_BACKWARD, DIRECTION_FORWARD, FULL_FIRING_COUNT};
    eventRecordB = {loopEnd + 1, 0, DIRECTION_FORWARD, DIRECTION_BACKWARD, FULL_FIRING_COUNT};
    eventA = &eventRecordA;
    eventB = &eventRecordB;
}

// One stretch forwards: up to the first armed event ahead or the sample's
// end (then silence), whichever comes first; the event fires after it.
uint32_t SampleSourceNode::forwardStretch(int16_t *&out, int64_t &frames)
{
    int64_t chunk = frames;
    LoopEvent *hit = nullptr;
    if (armedWithin(eventA, DIRECTION_FORWARD, position, position + chunk)) {
        chunk = eventA->position - position;
        hit = eventA;
    }
    if (armedWithin(eventB, DIRECTION_FORWARD, position, position + chunk)) {
        chunk = eventB->position - position;
        hit = eventB;
    }
    uint32_t result = 1;
    int64_t over = position + chunk - length;
    if (over > 0) {
        chunk -= over;
        result = 0;
    } else {
        over = 0;
    }
    if (chunk > 0) // data may be null for an empty sample
        std::memcpy(out, data + position, static_cast<size_t>(chunk) * sizeof *out);
    std::memset(out + chunk, 0, static_cast<size_t>(over) * sizeof *out);
    out += chunk + over;
    frames -= chunk + over;
    position += static_cast<int32_t>(chunk);
    if (hit) {
        position += hit->adjust;
        direction = hit->newDirection;
        hit->remaining -= 1;
    }
    return result;
}

// The mirror image: frames position - 1, position - 2, ... down to the first
// armed event behind the cursor or the sample's start.
uint32_t SampleSourceNode::backwardStretch(int16_t *&out, int64_t &frames)
{
    int64_t chunk = frames;
    LoopEvent *hit = nullptr;
    if (armedWithin(eventA, DIRECTION_BACKWARD, position - chunk + 1, position + 1)) {
        chunk = position - eventA->position;
        hit = eventA;
    }
    if (armedWithin(eventB, DIRECTION_BACKWARD, position - chunk + 1, position + 1)) {
        chunk = position - eventB->position;
        hit = eventB;
    }
    uint32_t result = 1;
    int64_t over = chunk - position;
    if (over > 0) {
        chunk = position;
        result = 0;
    } else {
        over = 0;
    }
    copyReversed(out, data + position, chunk);
    std::memset(out + chunk, 0, static_cast<size_t>(over) * sizeof *out);
    out += chunk + over;
    frames -= chunk + over;
    position -= static_cast<int32_t>(chunk);
    if (hit) {
        position += hit->adjust;
        direction = hit->newDirection;
        hit->remaining -= 1;
    }
    return result;
}

int64_t SampleSourceNode::loopCycleLength() const
{
    const int64_t loopLength = int64_t(loopEnd) + 1 - loopStart;
    const bool atStart = direction == DIRECTION_FORWARD && position == loopStart;
    const bool atEnd = direction == DIRECTION_BACKWARD && position == loopEnd + 1;
    if (loopMode == LOOP_NONE)
        return 0;
    if (loopMode == LOOP_FORWARD)
        return (backwards ? atEnd : atStart) ? loopLength : 0;
    return atStart || atEnd ? 2 * loopLength : 0;
}

int16_t *SampleSourceNode::copyLoopPass(int16_t *out, uint32_t passDirection) const
{
    if (passDirection == DIRECTION_FORWARD) {
        const size_t count = static_cast<size_t>(int64_t(loopEnd) + 1 - loopStart);
        std::memcpy(out, data + loopStart, count * sizeof *out);
        out += count;
    } else {
        const int64_t count = int64_t(loopEnd) + 1 - loopStart;
        copyReversed(out, data + loopEnd + 1, count);
        out += count;
    }
    return out;
}

void SampleSourceNode::repeatLoopCycles(int16_t *&out, int64_t &frames)
{
    const int64_t cycle = loopCycleLength();
    if (cycle == 0)
        return;
    // The last pass of a cycle fires its event only when frames remain after it.
    int64_t cycles = (frames - 1) / cycle;
    cycles = std::min<int64_t>(cycles, eventA->remaining);
    if (eventB)
        cycles = std::min<int64_t>(cycles, eventB->remaining);
    if (cycles <= 0)
        return;
    int16_t *end = copyLoopPass(out, direction);
    if (loopMode != LOOP_FORWARD)
        copyLoopPass(end, direction == DIRECTION_FORWARD ? DIRECTION_BACKWARD : DIRECTION_FORWARD);
    repeatPeriod(out, cycle, cycles * cycle);
    out += cycles * cycle;
    frames -= cycles * cycle;
    eventA->remaining -= static_cast<int32_t>(cycles);
    if (eventB)
        eventB->remaining -= static_cast<int32_t>(cycles);
}

uint32_t SampleSourceNode::pull(int16_t *buffer, uint32_t frames)
{
    uint32_t result = 1;
    int64_t left = frames;
    while (left > 0) {
        repeatLoopCycles(buffer, left);
        const uint32_t stretch = direction == DIRECTION_BACKWARD ? backwardStretch(buffer, left)
                                                                 : forwardStretch(buffer, left);
        result &= stretch;
    }
    return result;
}

void SampleSourceNode::destroy()
{
    hostDelete(this);
}

void SampleSourceNode::setParameters(const NodeTag *tags)
{
    bool directionGiven = false;
    for (; tags && tags->id != TAG_END; ++tags) {
        const int64_t value = static_cast<int32_t>(tags->value);
        switch (tags->id) {
        case TAG_POSITION: {
            int64_t start = backwards ? length - value : value;
            if (start > length)
                start = length;
            else if (start < 0)
                start = 0;
            position = static_cast<int32_t>(start);
            break;
        }
        case TAG_BACKWARDS:
            backwards = tags->value;
            direction = tags->value ? DIRECTION_BACKWARD : DIRECTION_FORWARD;
            directionGiven = true;
            break;
        default:
            break;
        }
    }
    if (directionGiven)
        setUpLoopEvents();
}

uint32_t SampleSourceNode::getAttribute(uint32_t id, uint32_t *out)
{
    if (id != ATTR_POSITION)
        return 0;
    *out = static_cast<uint32_t>(position);
    return 1;
}

} // namespace dbm
