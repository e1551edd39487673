// Literal reference implementations of the node kinds and of the mixing
// arithmetic, written frame by frame in the simplest form, for comparing the
// optimised production code against them.
//
// Every value is computed in int64 and brought back to 32 or 16 bits by the
// explicit wrap32/keep16 steps, so nothing here relies on the compiler's
// treatment of overflow. Choices that go beyond the plain rules are the ones
// production makes:
// - a loop event whose `remaining` count is used up (0) is ignored: it neither
//   ends a stretch nor fires;
// - the resampler stores steps above 1008.0 as 1008.0;
// - the pan delay takes pannings outside -128..128 as the nearest end;
// - the echo takes tag values above 255 (unsigned) as 255, the delay too.
#pragma once

#include "graph/node.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace reference {

inline int32_t wrap32(int64_t v)
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

inline int16_t keep16(int64_t v)
{
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(v) & 0xFFFF));
}

// Arithmetic right shift of a signed value: floor division by 2^bits.
inline int64_t shiftRight(int64_t v, int bits)
{
    const int64_t d = int64_t(1) << bits;
    return v >= 0 ? v / d : -((-v + d - 1) / d);
}

// A node: pulls from `input` (null: silence, result 1).
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
        for (uint32_t i = 0; i < frames * channels; ++i)
            out[i] = 0;
        return 1;
    }
};

constexpr uint32_t FORWARD = 1;
constexpr uint32_t BACKWARD = 2;

struct LoopEvent {
    int32_t position = 0;
    int32_t adjust = 0;
    uint32_t direction = 0;
    uint32_t newDirection = 0;
    int32_t remaining = 0;
};

class SampleSource : public Node {
public:
    SampleSource(const int16_t *sampleData, int32_t start, int32_t loopLength, int32_t frames,
                 uint32_t mode)
        : data(sampleData), length(frames), loopStart(start),
          loopEnd(wrap32(int64_t(start) + loopLength - 1)), loopMode(mode)
    {
        setUpLoopEvents();
    }

    void setUpLoopEvents()
    {
        hasA = false;
        hasB = false;
        const int32_t L = wrap32(int64_t(loopEnd) + 1 - loopStart);
        if (loopMode == 0)
            return;
        if (loopMode == 1) {
            hasA = true;
            if (backwards == 0)
                A = {wrap32(int64_t(loopEnd) + 1), -L, FORWARD, FORWARD, 2147483647};
            else
                A = {loopStart, L, BACKWARD, BACKWARD, 2147483647};
            return;
        }
        hasA = true;
        hasB = true;
        A = {loopStart, 0, BACKWARD, FORWARD, 2147483647};
        B = {wrap32(int64_t(loopEnd) + 1), 0, FORWARD, BACKWARD, 2147483647};
    }

    uint32_t pull(int16_t *out, uint32_t frames) override
    {
        int64_t n = frames;
        uint32_t result = 1;
        while (n > 0) {
            int64_t chunk = n;
            LoopEvent *hit = nullptr;
            const bool liveA = hasA && A.remaining > 0;
            const bool liveB = hasB && B.remaining > 0;
            if (direction == FORWARD) {
                if (liveA && position <= A.position && A.position < position + n &&
                    A.direction == FORWARD) {
                    chunk = int64_t(A.position) - position;
                    hit = &A;
                }
                if (liveB && position <= B.position && B.position < position + chunk &&
                    B.direction == FORWARD) {
                    chunk = int64_t(B.position) - position;
                    hit = &B;
                }
                const int64_t over = position + chunk - length;
                if (over > 0) {
                    chunk = chunk - over;
                    result = 0;
                }
                for (int64_t i = 0; i < chunk; ++i)
                    *out++ = data[position + i];
                if (over > 0)
                    for (int64_t i = 0; i < over; ++i)
                        *out++ = 0;
                position = wrap32(position + chunk);
                n -= chunk;
                if (over > 0)
                    n -= over;
            } else {
                if (liveA && position - n < A.position && A.position <= position &&
                    A.direction == BACKWARD) {
                    chunk = int64_t(position) - A.position;
                    hit = &A;
                }
                if (liveB && position - chunk < B.position && B.position <= position &&
                    B.direction == BACKWARD) {
                    chunk = int64_t(position) - B.position;
                    hit = &B;
                }
                const int64_t over = chunk - position;
                if (over > 0) {
                    chunk = position;
                    result = 0;
                }
                for (int64_t i = 0; i < chunk; ++i)
                    *out++ = data[position - 1 - i];
                if (over > 0)
                    for (int64_t i = 0; i < over; ++i)
                        *out++ = 0;
                position = wrap32(position - chunk);
                n -= chunk;
                if (over > 0)
                    n -= over;
            }
            if (hit && hit->remaining > 0) {
                position = wrap32(int64_t(position) + hit->adjust);
                direction = hit->newDirection;
                hit->remaining -= 1;
            }
        }
        return result;
    }

    void setParameters(const dbm::NodeTag *tags) override
    {
        bool backwardsGiven = false;
        for (; tags->id != dbm::TAG_END; ++tags) {
            const int64_t v = static_cast<int32_t>(tags->value);
            if (tags->id == dbm::TAG_POSITION) {
                int64_t p = backwards != 0 ? length - v : v;
                if (p > length)
                    p = length;
                else if (p < 0)
                    p = 0;
                position = static_cast<int32_t>(p);
            } else if (tags->id == dbm::TAG_BACKWARDS) {
                backwards = tags->value;
                direction = tags->value != 0 ? BACKWARD : FORWARD;
                backwardsGiven = true;
            }
        }
        if (backwardsGiven)
            setUpLoopEvents();
    }

    const int16_t *data;
    int32_t length;
    int32_t position = 0;
    int32_t loopStart;
    int32_t loopEnd;
    uint32_t direction = FORWARD;
    uint32_t loopMode;
    uint32_t backwards = 0;
    bool hasA = false;
    bool hasB = false;
    LoopEvent A;
    LoopEvent B;
};

class Resampler : public Node {
public:
    uint32_t pull(int16_t *out, uint32_t frames) override
    {
        uint32_t result = 1;
        for (uint32_t k = 0; k < frames; ++k) {
            if (refill != 0) {
                for (int j = 0; j < 8; ++j)
                    buffer[j] = 0;
                result = pullInput(&buffer[8], 1016, 1);
                refill = 0;
                position = 0;
            }
            if (position > 0x03EFFFFFu) {
                for (int j = 0; j < 16; ++j)
                    buffer[j] = buffer[1008 + j];
                result = pullInput(&buffer[16], 1008, 1);
                position = static_cast<uint32_t>(uint64_t(position) - 0x03F00000u);
            }
            const uint32_t i = position >> 16;
            const int64_t f = position & 0xFFFF;
            const int64_t s0 = buffer[8 + i];
            const int64_t s1 = buffer[9 + i];
            const int32_t product = wrap32((s1 - s0) * f);
            out[k] = keep16(s0 + shiftRight(product, 16));
            position = static_cast<uint32_t>(uint64_t(position) + step);
        }
        return result;
    }

    void setParameters(const dbm::NodeTag *tags) override
    {
        for (; tags->id != dbm::TAG_END; ++tags)
            if (tags->id == dbm::TAG_RESAMPLE_STEP)
                step = tags->value > 0x03F00000u ? 0x03F00000u : tags->value;
    }

    void reset() override
    {
        if (input)
            input->reset();
        refill = 1;
    }

    int16_t buffer[1024] = {};
    uint32_t position = 0;
    uint32_t step = 0x10000;
    uint32_t refill = 1;
};

class PanDelay : public Node {
public:
    explicit PanDelay(const int16_t *delayTable) : table(delayTable) {}

    uint32_t pull(int16_t *out, uint32_t frames) override
    {
        uint32_t result = 1;
        while (frames > 0) {
            const uint32_t m = frames < 1024 ? frames : 1024;
            result = pullInput(&window[64], m, 1);
            for (uint32_t i = 0; i < m; ++i) {
                out[2 * i] = window[64 + i - leftDelay];
                out[2 * i + 1] = window[64 + i - rightDelay];
            }
            for (uint32_t j = 0; j < 64; ++j)
                window[j] = window[m + j];
            frames -= m;
            out += 2 * m;
        }
        return result;
    }

    void setParameters(const dbm::NodeTag *tags) override
    {
        for (; tags->id != dbm::TAG_END; ++tags) {
            if (tags->id != dbm::TAG_PANNING)
                continue;
            int32_t v = static_cast<int32_t>(tags->value);
            if (v < -128)
                v = -128;
            if (v > 128)
                v = 128;
            leftDelay = 0;
            rightDelay = 0;
            if (v < 0)
                rightDelay = table[-v - 1];
            if (v > 0)
                leftDelay = table[v - 1];
        }
    }

    void reset() override
    {
        if (input)
            input->reset();
        for (int j = 0; j < 64; ++j)
            window[j] = 0;
    }

    int16_t window[1088] = {};
    int32_t leftDelay = 0;
    int32_t rightDelay = 0;
    const int16_t *table;
};

// Pulls the voice chain's last node; resets reach it too.
class TrackOutput : public Node {
public:
    explicit TrackOutput(Node *voiceLast) : voice(voiceLast) {}
    uint32_t pull(int16_t *out, uint32_t frames) override { return voice->pull(out, frames); }
    void reset() override { voice->reset(); }
    Node *voice;
};

class Echo : public Node {
public:
    explicit Echo(uint32_t rate) : sampleRate(rate)
    {
        const int32_t r = static_cast<int32_t>(rate);
        bufferFrames = wrap32(int64_t(uint32_t((r >> 1) + (r >> 6) + 3) & 0xFFFFFFFBu));
        buffer.assign(std::size_t(bufferFrames) * 2, 0);
        delayFrames = static_cast<int32_t>((int64_t(r) * 64 + 250) / 500);
    }

    uint32_t pull(int16_t *out, uint32_t frames) override
    {
        while (frames > 0) {
            const uint32_t m = frames < 16 ? frames : 16;
            int16_t block[32];
            pullInput(block, m, 2);
            for (uint32_t k = 0; k < m; ++k) {
                const int64_t xL = block[2 * k];
                const int64_t xR = block[2 * k + 1];
                int32_t r = writeIndex - delayFrames;
                if (r < 0)
                    r += bufferFrames;
                const int64_t dL = buffer[2 * std::size_t(r)];
                const int64_t dR = buffer[2 * std::size_t(r) + 1];
                const int32_t lineL = wrap32(xL * directInput + xR * crossInput +
                                             dL * directFeedback + dR * crossFeedback);
                const int32_t lineR = wrap32(xR * directInput + xL * crossInput +
                                             dR * directFeedback + dL * crossFeedback);
                buffer[2 * std::size_t(writeIndex)] = keep16(shiftRight(lineL, 16));
                buffer[2 * std::size_t(writeIndex) + 1] = keep16(shiftRight(lineR, 16));
                const int32_t outL = wrap32(xL * dryLevel + dL * wetLevel);
                const int32_t outR = wrap32(xR * dryLevel + dR * wetLevel);
                out[2 * k] = keep16(shiftRight(outL, 8));
                out[2 * k + 1] = keep16(shiftRight(outR, 8));
                writeIndex += 1;
                if (writeIndex == bufferFrames)
                    writeIndex = 0;
            }
            out += 2 * m;
            frames -= m;
        }
        return 1;
    }

    void setParameters(const dbm::NodeTag *tags) override
    {
        int64_t f = 0, m = 0, c = 0;
        bool seen = false;
        for (; tags->id != dbm::TAG_END; ++tags) {
            const int64_t v = tags->value > 255 ? 255 : tags->value;
            switch (tags->id) {
            case dbm::TAG_ECHO_DELAY:
                delayFrames = static_cast<int32_t>((int64_t(sampleRate) * v + 250) / 500);
                break;
            case dbm::TAG_ECHO_FEEDBACK:
                f = v;
                seen = true;
                break;
            case dbm::TAG_ECHO_MIX:
                m = v;
                seen = true;
                break;
            case dbm::TAG_ECHO_CROSS:
                c = v;
                seen = true;
                break;
            default:
                break;
            }
        }
        if (!seen)
            return;
        wetLevel = m;
        dryLevel = 256 - m;
        crossFeedback = f * c;
        crossInput = (256 - f) * c;
        directFeedback = f * (256 - c);
        directInput = (256 - f) * (256 - c);
    }

    uint32_t sampleRate;
    std::vector<int16_t> buffer;
    int32_t bufferFrames = 0;
    int32_t writeIndex = 0;
    int32_t delayFrames = 0;
    int64_t wetLevel = 128, dryLevel = 128;
    int64_t crossFeedback = 32640, crossInput = 32640, directFeedback = 128, directInput = 128;
};

// One track into the accumulator: pull while sounding, then add each side
// scaled by its 2.14 gain.
inline void mixTrack(int32_t *mix, int16_t *scratch, Node *last, uint32_t &sounding,
                     int16_t leftGain, int16_t rightGain, uint32_t n)
{
    if (sounding == 0 || last == nullptr)
        return;
    sounding = last->pull(scratch, n);
    if (n == 0)
        return;
    for (uint32_t i = 0; i < n; ++i) {
        const int32_t l = wrap32(int64_t(leftGain) * scratch[2 * i]);
        const int32_t r = wrap32(int64_t(rightGain) * scratch[2 * i + 1]);
        mix[2 * i] = wrap32(int64_t(mix[2 * i]) + shiftRight(l, 14));
        mix[2 * i + 1] = wrap32(int64_t(mix[2 * i + 1]) + shiftRight(r, 14));
    }
}

// Accumulator to 16-bit output: clipped beyond +-clipLevel, else scaled.
inline void convertOutput(const int32_t *mix, uint32_t n, int32_t outputGain, int32_t clipLevel,
                          int16_t *out)
{
    for (uint32_t i = 0; i < 2 * n; ++i) {
        const int64_t v = mix[i];
        if (v > clipLevel)
            out[i] = 32767;
        else if (v < -int64_t(clipLevel))
            out[i] = -32767;
        else
            out[i] = keep16(shiftRight(wrap32(v * outputGain), 16));
    }
}

} // namespace reference
