// Safe reads of the song the engine plays: its order list and pattern sizes.
// Every lookup outside the module's records answers "none" instead of reading
// out of bounds, so a song without orders or a stray index cannot crash the
// sequencer.
#pragma once

#include "engine/engine.h"

namespace dbm {

// The song at currentSong, or null when there is none.
const Song *currentSongRecord(const Engine *engine);
// Order entries of the current song; 0 when the song has none.
int32_t orderCount(const Engine *engine);
// The pattern number at `position` of the current song's order list; 0 when
// the position is outside it.
uint32_t orderEntry(const Engine *engine, int32_t position);
// The pattern with that number, or null.
const Pattern *patternRecord(const Engine *engine, uint32_t pattern);
// Row count of that pattern; 0 when there is no such pattern.
int32_t patternRows(const Engine *engine, uint32_t pattern);

} // namespace dbm
