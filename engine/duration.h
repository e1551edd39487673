// How long a song plays before it stops, found without rendering: for the
// players above the core, which want the length before they start (never
// called on the render path).
//
// The scan creates its own engine for the module, positioned at the start of
// song `song`, and runs the sequencer tick by tick without pulling any node,
// adding up the tick lengths until the sequencer reports the stop. `frames` is
// then the number of frames the render loop has produced when it first
// reports the stop: every frame before the stopping tick plus that tick's own
// frames (a render call that covers the whole stopping tick returns short
// exactly there).
//
// A song that never stops (a jump back, an endless pattern loop) is recognised
// when its sequencing state at a row start repeats; `stops` is then false and
// `frames` the four-hour length the stream announces at that rate (14400 x
// sampleRate). `loops` then says that the repetition was found: from frame
// `loopStart` on the song plays the same rows again and again, the first
// repetition beginning at frame `loopEnd` (so one pass through the song is
// `loopEnd` frames and the loop is `loopEnd - loopStart` frames long; the
// first row start of each pass is one of the loop's row starts). A song that
// neither stops nor repeats within four hours has `loops` false too.
#pragma once

#include "module/module.h"

#include <cstdint>

namespace dbm {

struct SongDuration {
    bool valid;      // false: no engine could be made (bad module, song, rate or memory)
    bool stops;      // the song reaches its stop
    uint64_t frames; // see above; 0 when not valid
    bool loops;      // the song repeats from loopStart: see above
    uint64_t loopStart;
    uint64_t loopEnd;
};

SongDuration scanSongDuration(const Module *module, uint32_t sampleRate, uint32_t song = 0);

// Where song `song`, played from its start, first plays a row of order
// position `order`: `frame` is the frame its row start's tick begins with.
// `found` is false when the song stops or comes back to its loop (or four
// hours pass) before it gets there; `valid` is false as for the scan above.
struct OrderStart {
    bool valid;
    bool found;
    uint64_t frame;
};

OrderStart scanOrderStart(const Module *module, uint32_t sampleRate, uint32_t song, int32_t order);

} // namespace dbm
