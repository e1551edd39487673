// Edits on rendered blocks of interleaved stereo frames: the fade-out at the
// end of a song cut short, and finding where a block's sound ends.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvplay {

// Frames [from, to) of a song of `fadeEnd` frames whose last `fadeFrames`
// fall linearly to silence; `frames` holds frame `from` first.
void applyFade(int16_t *frames, uint64_t from, uint64_t to, uint64_t fadeEnd, uint64_t fadeFrames);

// Index after the last frame with a non-zero sample, 0 if all are silent.
size_t audibleEnd(const int16_t *frames, size_t count);

} // namespace kvplay
