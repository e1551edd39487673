// The track's gain stage: a track's stereo frames enter the 32-bit mixing
// accumulator scaled by its 2.14 gains, mix += (gain x sample) >> 14 per
// value, wrapping. The engine's render loop and the nodes that mix their
// frames in directly (ProcessingNode::mixInto) share these definitions, so
// every way into the accumulator gives the same bits.
#pragma once

#include "base/fixed_point.h"

#include <cstdint>

namespace dbm {

// One value of the accumulator after adding `sample` at `gain`.
inline int32_t addScaled(int32_t mix, int16_t gain, int32_t sample)
{
    return wrapAdd(mix, (int32_t(gain) * sample) >> 14);
}

// `frames` stereo frames of `in` into `mix`, the left gain on even values and
// the right gain on odd ones. The buffers must not overlap.
void addScaledFrames(int32_t *mix, const int16_t *in, int16_t left, int16_t right,
                     uint32_t frames);

} // namespace dbm
