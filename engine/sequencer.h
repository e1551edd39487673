// The tick sequencer: one call advances the song by one tick.
//
// runTick is called by the render loop (and the duration scan) whenever the
// frames of the previous tick are used up. The other operations are its
// steps; advanceRow is called by processRow after the last track of a row.
#pragma once

#include "engine/engine.h"

namespace dbm {

// One tick; returns 1 when this tick found the song stopped at a row start.
uint32_t runTick(Engine *engine);
// True once the song has stopped (a stop command or the end of the order
// list took effect): no row is processed any more.
bool songStopped(const Engine *engine);

// Carries out the jump, break and loop requests of the previous row and arms
// the stop when the order list ran out; then clears the requests.
void applyPendingJumps(Engine *engine);
// Next order position; past the end wraps to 0 and sets songEnded.
void advanceOrder(Engine *engine);
// After a processed row: the next row, or the next order position when the
// pattern is done.
void advanceRow(Engine *engine);
// Takes speed, tempo and stop commands (effect 15) of the row at the position.
void scanSpeedCommands(Engine *engine);
// Row start with the old speed: volume, panning, pitch divided by it, the
// row's slides, vibrato and arpeggio cleared.
void unscaleTracks(Engine *engine);
// Clears what a row sets for its ticks: the four slide amounts, vibrato speed
// and depth, and the arpeggio offsets of phases 1 and 2.
void clearRowMotion(TrackState &track);
// Row start with the new speed: volume, panning, pitch multiplied by it and
// the six limits set for it.
void rescaleTracks(Engine *engine);

} // namespace dbm
