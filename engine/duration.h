// How long a song plays before it stops, found without rendering: for the
// command-line player, which wants the length before it starts (never called
// on the render path).
//
// The scan creates its own engine for the module and runs the sequencer tick
// by tick without pulling any node, adding up the tick lengths until the
// sequencer reports the stop. `frames` is then the number of frames the render
// loop has produced when it first reports the stop: every frame before the
// stopping tick plus that tick's own frames (a render call that covers the
// whole stopping tick returns short exactly there).
//
// A song that never stops (a jump back, an endless pattern loop) is recognised
// when its sequencing state at a row start repeats, or at the latest after
// four hours of frames; `stops` is then false and `frames` the four-hour
// length the stream announces at that rate (14400 x sampleRate).
#pragma once

#include "module/module.h"

#include <cstdint>

namespace dbm {

struct SongDuration {
    bool valid;      // false: no engine could be made (bad module, rate or memory)
    bool stops;      // the song reaches its stop
    uint64_t frames; // see above; 0 when not valid
};

SongDuration scanSongDuration(const Module *module, uint32_t sampleRate);

} // namespace dbm
