#include "tools/kvplay/frame_shaping.h"

#include <algorithm>

namespace kvplay {

void applyFade(int16_t *frames, uint64_t from, uint64_t to, uint64_t fadeEnd, uint64_t fadeFrames)
{
    if (!fadeFrames)
        return;
    const uint64_t fadeStart = fadeEnd - fadeFrames;
    for (uint64_t f = std::max(from, fadeStart); f < to; ++f) {
        const int64_t left = int64_t(fadeEnd - f);
        for (int c = 0; c < 2; ++c) {
            int16_t &s = frames[2 * (f - from) + c];
            s = int16_t(int64_t(s) * left / int64_t(fadeFrames));
        }
    }
}

size_t audibleEnd(const int16_t *frames, size_t count)
{
    for (size_t f = count; f > 0; --f)
        if (frames[2 * f - 2] || frames[2 * f - 1])
            return f;
    return 0;
}

} // namespace kvplay
