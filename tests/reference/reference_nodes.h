// A literal reference of the sample source, written frame by frame in the
// simplest form, against which the optimised node is compared. Positions
// are computed in int64 and brought back to 32 bits by wrap32, so nothing
// relies on the compiler's overflow. Beyond the plain rules it
// makes the choice production makes: a loop event whose count is used up is
// ignored.
#pragma once

#include "graph/node.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace reference {

inline int32_t wrap32(int64_t v) { return int32_t(uint32_t(uint64_t(v))); }

enum : uint32_t { FORWARD = 1, BACKWARD = 2 };

// A cursor position where the source changes course, `remaining` times more.
struct LoopEvent {
    int32_t position = 0, adjust = 0;
    uint32_t direction = 0, newDirection = 0;
    int32_t remaining = 0;
};

class SampleSource {
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

    void reset() {} // a sample source has no history

    // Before each frame every live event at the cursor fires; then one frame
    // is read in the direction of play, or silence past an end.
    uint32_t pull(int16_t *out, uint32_t frames)
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

    void setParameters(const dbm::NodeTag *tags)
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

} // namespace reference
