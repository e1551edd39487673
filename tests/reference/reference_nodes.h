// Literal references of the node kinds and of the mixing arithmetic, written
// frame by frame in the simplest form, against which the optimised nodes are
// compared. Every value is computed in int64 and brought back to 32 or 16
// bits by wrap32/keep16, so nothing relies on the compiler's overflow.
// Beyond the plain rules they make the choices production makes: a loop
// event whose count is used up is ignored; steps above 1008.0 are stored as
// 1008.0; pannings beyond -128..128 count as the nearest end; echo values
// above 255 count as 255.
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

// A node pulls from `input` (null: silence, result 1).
class Node {
public:
    virtual ~Node() = default;
    virtual uint32_t pull(int16_t *out, uint32_t frames) = 0;
    virtual void setParameters(const dbm::NodeTag *) {}
    virtual void reset() {}
    Node *input = nullptr;

protected:
    uint32_t pullInput(int16_t *out, uint32_t frames, uint32_t channels)
    {
        if (input)
            return input->pull(out, frames);
        std::fill(out, out + frames * channels, int16_t(0));
        return 1;
    }
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

// Reads through a 1024-frame buffer refilled 1016 frames at a time (8 frames
// of silence before the first), sliding by 1008 frames past 1008.0.
class Resampler : public Node {
public:
    uint32_t pull(int16_t *out, uint32_t frames) override
    {
        uint32_t result = 1;
        for (uint32_t k = 0; k < frames; ++k) {
            if (refill) {
                std::fill(buffer, buffer + 8, int16_t(0));
                result = pullInput(&buffer[8], 1016, 1);
                refill = false;
                position = 0;
            }
            if (position >= 1008u << 16) {
                std::copy(buffer + 1008, buffer + 1024, buffer);
                result = pullInput(&buffer[16], 1008, 1);
                position -= 1008u << 16;
            }
            const int64_t s0 = buffer[8 + (position >> 16)], s1 = buffer[9 + (position >> 16)];
            out[k] = keep16(s0 + shiftRight(wrap32((s1 - s0) * (position & 0xFFFF)), 16));
            position += step;
        }
        return result;
    }
    void setParameters(const dbm::NodeTag *tags) override
    {
        for (; tags->id != dbm::TAG_END; ++tags)
            if (tags->id == dbm::TAG_RESAMPLE_STEP)
                step = tags->value > 1008u << 16 ? 1008u << 16 : tags->value;
    }
    void reset() override
    {
        if (input)
            input->reset();
        refill = true;
    }

    int16_t buffer[1024] = {};
    uint32_t position = 0, step = 0x10000;
    bool refill = true;
};

// Mono in, stereo out: each side reads the window `delay` frames back.
class PanDelay : public Node {
public:
    explicit PanDelay(const int16_t *delayTable) : table(delayTable) {}
    uint32_t pull(int16_t *out, uint32_t frames) override
    {
        uint32_t result = 1;
        for (; frames > 0; out += 2 * std::min(frames, 1024u), frames -= std::min(frames, 1024u)) {
            const uint32_t m = std::min(frames, 1024u);
            result = pullInput(&window[64], m, 1);
            for (uint32_t i = 0; i < m; ++i) {
                out[2 * i] = window[64 + i - leftDelay];
                out[2 * i + 1] = window[64 + i - rightDelay];
            }
            std::copy(window + m, window + m + 64, window);
        }
        return result;
    }
    void setParameters(const dbm::NodeTag *tags) override
    {
        for (; tags->id != dbm::TAG_END; ++tags) {
            if (tags->id != dbm::TAG_PANNING)
                continue;
            const int32_t v = std::max(-128, std::min(128, int32_t(tags->value)));
            leftDelay = v > 0 ? table[v - 1] : 0;
            rightDelay = v < 0 ? table[-v - 1] : 0;
        }
    }
    void reset() override
    {
        if (input)
            input->reset();
        std::fill(window, window + 64, int16_t(0));
    }

    int16_t window[1088] = {};
    int32_t leftDelay = 0, rightDelay = 0;
    const int16_t *table;
};

class TrackOutput : public Node {
public:
    explicit TrackOutput(Node *voiceLast) : voice(voiceLast) {}
    uint32_t pull(int16_t *out, uint32_t frames) override { return voice->pull(out, frames); }
    void reset() override { voice->reset(); }
    Node *voice;
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
            pullInput(out + 2 * k, std::min(frames - k, 16u), 2);
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

// One track into the accumulator: pulled while sounding, each side scaled by its 2.14 gain.
inline void mixTrack(int32_t *mix, int16_t *scratch, Node *last, uint32_t &sounding, int16_t leftGain,
                     int16_t rightGain, uint32_t n)
{
    if (sounding == 0 || last == nullptr)
        return;
    sounding = last->pull(scratch, n);
    for (uint32_t i = 0; i < 2 * n; ++i)
        mix[i] = wrap32(mix[i] + shiftRight(wrap32(int64_t(i % 2 ? rightGain : leftGain) * scratch[i]), 14));
}

// Accumulator to 16-bit output: +-32767 beyond +-clipLevel, else scaled.
inline void convertOutput(const int32_t *mix, uint32_t n, int32_t gain, int32_t clipLevel, int16_t *out)
{
    for (uint32_t i = 0; i < 2 * n; ++i)
        out[i] = mix[i] > clipLevel               ? 32767
                 : mix[i] < -int64_t(clipLevel) ? -32767
                                                  : keep16(shiftRight(wrap32(int64_t(mix[i]) * gain), 16));
}

} // namespace reference
