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
    // Song `song` of `module` (null: no position is known), from frame
    // `start` of the song on.
    SongClock(const dbm::Module *module, int song, uint64_t start);
    ~SongClock();
    SongClock(const SongClock &) = delete;
    SongClock &operator=(const SongClock &) = delete;

    // The row playing `frame` frames after the start; after the song's stop,
    // the last row played. Going back starts the count again from the
    // song's beginning.
    SongPosition at(uint64_t frame);

private:
    const dbm::Module *module_;
    int song_;
    uint64_t start_;
    dbm::Engine *engine_ = nullptr;
    uint64_t frames_ = 0; // frames of the ticks run so far
    bool stopped_ = false;
    SongPosition position_;
};

} // namespace kvplay
