#include "graph/gain_stage.h"

#include <cstddef>

namespace dbm {

// Saying that the buffers never overlap (and keeping the gains 16-bit) lets
// the compiler turn this into wide 16 x 16-bit multiplies.
void addScaledFrames(int32_t *__restrict mix, const int16_t *__restrict in, int16_t left,
                     int16_t right, uint32_t frames)
{
#pragma GCC unroll 4 // loop control shared by four frames on a scalar CPU
    for (size_t i = 0; i < frames; ++i) {
        mix[2 * i] = addScaled(mix[2 * i], left, in[2 * i]);
        mix[2 * i + 1] = addScaled(mix[2 * i + 1], right, in[2 * i + 1]);
    }
}

} // namespace dbm
