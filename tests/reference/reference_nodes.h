// Literal references of the sample source and the echo, written frame by
// frame in the simplest form, against which the optimised nodes are
// compared. Every value is computed in int64 and brought back to 32 or 16
// bits by wrap32/keep16, so nothing relies on the compiler's overflow.
// Beyond the plain rules they make the choices production makes: a loop
// event whose count is used up is ignored; echo values above 255 count as 255.
#pragma once

#include "graph/node.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace reference {

inline int32_t wrap32(int64_t v) { return int32_t(uint32_t(uint64_t(v))); }
inline int16_t keep16(int64_t v) { return int16_t(uint16_t(uint64_t(v) & 0xFFFF)); }
// Floor division by 2^bits.
inline int64_t shiftRight(int64_t v, int bits)
{
    const int64_t d = int64_t(1) << bits;
    return v >= 0 ? v / d : -((-v + d - 1) / d);
}

// A node; the echo pulls from `input`.
class Node {
public:
    virtual ~Node() = default;
    virtual uint32_t pull(int16_t *out, uint32_t frames) = 0;
    virtual void setParameters(const dbm::NodeTag *) {}
    virtual void reset() {}
    Node *input = nullptr;
};

enum : uint32_t { FORWARD = 1, BACKWARD = 2 };

// A cursor position where the source changes course, `remaining` times more.
struct LoopEvent {
    int32_t position = 0, adjust = 0;
    uint32_t direction = 0, newDirection = 0;
    int32_t remaining = 0;
};

class SampleSource : public Node {
public:
    SampleSource(const int16_t *frames, int32_t start, int32_t loopLength, int32_t count, uint32_t mode)
        : data(frames), length(count), loopStart(start), loopLength(loopLength), loopMode(mode)
    {
        arm();
    }

    void arm()
    {
        const int32_t end = wrap32(int64_t(loopStart) + loopLength);
        hasA = loopMode != 0;
        hasB = loopMode > 1;
        if (loopMode == 1)
            A = backwards ? LoopEvent{loopStart, loopLength, BACKWARD, BACKWARD, INT32_MAX}
                          : LoopEvent{end, -loopLength, FORWARD, FORWARD, INT32_MAX};
        else
            A = {loopStart, 0, BACKWARD, FORWARD, INT32_MAX}, B = {end, 0, FORWARD, BACKWARD, INT32_MAX};
    }

    // Before each frame every live event at the cursor fires; then one frame
    // is read in the direction of play, or silence past an end.
    uint32_t pull(int16_t *out, uint32_t frames) override
    {
        uint32_t result = 1;
        for (uint32_t k = 0; k < frames; ++k) {
            for (LoopEvent *e : {hasA ? &A : nullptr, hasB ? &B : nullptr})
                if (e && e->remaining > 0 && e->direction == direction && e->position == position) {
                    position = wrap32(int64_t(position) + e->adjust);
                    direction = e->newDirection;
                    e->remaining -= 1;
                }
            const bool forward = direction == FORWARD;
            if (forward ? position >= length : position <= 0) {
                out[k] = 0;
                result = 0;
            } else {
                out[k] = forward ? data[position++] : data[--position];
            }
        }
        return result;
    }

    void setParameters(const dbm::NodeTag *tags) override
    {
        bool rearm = false;
        for (; tags->id != dbm::TAG_END; ++tags) {
            const int64_t v = int32_t(tags->value);
            if (tags->id == dbm::TAG_POSITION) {
                const int64_t p = backwards ? length - v : v;
                position = int32_t(p < 0 ? 0 : p > length ? length : p);
            } else if (tags->id == dbm::TAG_BACKWARDS) {
                backwards = tags->value;
                direction = backwards ? BACKWARD : FORWARD;
                rearm = true;
            }
        }
        if (rearm)
            arm();
    }

    const int16_t *data;
    int32_t length, position = 0, loopStart, loopLength;
    uint32_t loopMode, direction = FORWARD, backwards = 0;
    bool hasA = false, hasB = false;
    LoopEvent A, B;
};

// The echo at 8000, 44100 or 192000 Hz: a line of about half a second
// (worked out by hand for these rates), a delay of v units of 2 ms rounded to
// the nearest frame, shares f (feedback), m (mix), c (cross-feed) of 256.
class Echo : public Node {
public:
    explicit Echo(uint32_t rate)
        : sampleRate(rate), bufferFrames(rate == 8000 ? 4128 : rate == 44100 ? 22738 : 99003),
          buffer(2 * size_t(bufferFrames))
    {
        setShares(128, 128, 255);
        delayFrames = frames(64);
    }
    int32_t frames(int64_t units) const { return int32_t(std::lround(sampleRate * 0.002 * units)); }
    void setShares(int64_t f, int64_t m, int64_t c)
    {
        wet = m, dry = 256 - m;
        lineWeight[0] = (256 - f) * (256 - c), lineWeight[1] = (256 - f) * c;
        lineWeight[2] = f * (256 - c), lineWeight[3] = f * c;
    }

    uint32_t pull(int16_t *out, uint32_t frames) override
    {
        for (uint32_t k = 0; k < frames; k += 16)
            input->pull(out + 2 * k, std::min(frames - k, 16u));
        for (uint32_t k = 0; k < frames; ++k) {
            int16_t *x = out + 2 * k, *line = &buffer[2 * size_t(writeIndex)];
            const int32_t r = writeIndex >= delayFrames ? writeIndex - delayFrames : writeIndex - delayFrames + bufferFrames;
            const int64_t d[2] = {buffer[2 * size_t(r)], buffer[2 * size_t(r) + 1]};
            for (int side = 0; side < 2; ++side) {
                const int64_t in = x[side], other = x[1 - side];
                line[side] = keep16(shiftRight(wrap32(in * lineWeight[0] + other * lineWeight[1] +
                                                      d[side] * lineWeight[2] + d[1 - side] * lineWeight[3]), 16));
            }
            for (int side = 0; side < 2; ++side)
                x[side] = keep16(shiftRight(wrap32(x[side] * dry + d[side] * wet), 8));
            writeIndex = writeIndex + 1 == bufferFrames ? 0 : writeIndex + 1;
        }
        return 1;
    }
    void setParameters(const dbm::NodeTag *tags) override
    {
        int64_t share[3] = {0, 0, 0}; // feedback, mix, cross
        bool seen = false;
        for (; tags->id != dbm::TAG_END; ++tags) {
            const int64_t v = std::min<uint32_t>(tags->value, 255);
            if (tags->id == dbm::TAG_ECHO_DELAY)
                delayFrames = frames(v);
            else if (tags->id >= dbm::TAG_ECHO_FEEDBACK && tags->id <= dbm::TAG_ECHO_CROSS)
                share[tags->id - dbm::TAG_ECHO_FEEDBACK] = v, seen = true;
        }
        if (seen)
            setShares(share[0], share[1], share[2]);
    }

    uint32_t sampleRate;
    int32_t bufferFrames, writeIndex = 0, delayFrames;
    std::vector<int16_t> buffer;
    int64_t wet = 0, dry = 0, lineWeight[4] = {};
};

} // namespace reference
