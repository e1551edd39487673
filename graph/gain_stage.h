// The track's gain stage: a track's stereo frames enter the 32-bit mixing
// accumulator scaled by its 2.14 gains, mix += (gain x sample) >> 14 per
// value, wrapping. The default ProcessingNode::mixInto and the nodes that mix
// their frames in as they make them share these definitions, so every way
// into the accumulator gives the same bits.
#pragma once

#include "base/fixed_point.h"

#include <cstddef>
#include <cstdint>

namespace dbm {

// One value of the accumulator after adding `sample` at `gain`.
inline int32_t addScaled(int32_t mix, int16_t gain, int32_t sample)
{
    return wrapAdd(mix, (int32_t(gain) * sample) >> 14);
}

// `frames` stereo frames of `in` into `mix`, the left gain on even values and
// the right gain on odd ones. The buffers never overlap; saying so (and
// keeping the gains 16-bit) lets the compiler turn this into wide 16 x 16-bit
// multiplies.
inline void addScaledFrames(int32_t *__restrict mix, const int16_t *__restrict in, int16_t left,
                            int16_t right, uint32_t frames)
{
#pragma GCC unroll 4 // loop control shared by four frames on a scalar CPU
    for (size_t i = 0; i < frames; ++i) {
        mix[2 * i] = addScaled(mix[2 * i], left, in[2 * i]);
        mix[2 * i + 1] = addScaled(mix[2 * i + 1], right, in[2 * i + 1]);
    }
}

} // namespace dbm
