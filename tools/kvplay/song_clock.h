// Where in the song a frame of it lies: order position, pattern and row,
// for playback's status line. The plug-in's stream does not tell, so the
// song is followed the way the duration scan follows it: kvplay's own core
// runs the tick sequencer of a second engine, pulling no sound.
//
// Main thread only. The module must outlive the clock.
#pragma once

#include "engine/engine.h"

#include <cstdint>

namespace kvplay {

struct SongPosition {
    bool known = false; // false before the first row (or without an engine)
    int32_t order = 0, orderCount = 0;
    uint32_t pattern = 0;
    int32_t row = 0, rowCount = 0;
};

class SongClock {
public:
    explicit SongClock(const dbm::Module *module);
    ~SongClock();
    SongClock(const SongClock &) = delete;
    SongClock &operator=(const SongClock &) = delete;

    // The row playing at song frame `frame`; after the song's stop, the last
    // row played. Going back starts the count again from the beginning.
    SongPosition at(uint64_t frame);

private:
    const dbm::Module *module_;
    dbm::Engine *engine_ = nullptr;
    uint64_t frames_ = 0; // frames of the ticks run so far
    bool stopped_ = false;
    SongPosition position_;
};

} // namespace kvplay
