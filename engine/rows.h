// Row processing, note triggering, row effects and per-tick effects.
#pragma once

#include "engine/engine.h"

namespace dbm {

// Processes row currentRow of currentPattern for every track, then advances
// the position (currentRow + 1, or the next order position).
void processRow(Engine *engine);
void applyInstrumentDefaults(Engine *engine, TrackState &track);
void keyOff(TrackState &track);
// Restarts the track's voice (chain must be built): envelopes from their
// first point, chain reset, direction and start position sent, sounding.
void restartVoice(const Module *module, TrackState &track);

void applyRowEffect(Engine *engine, TrackState &track, uint8_t effect, uint8_t parameter);
void applyExtendedEffect(Engine *engine, TrackState &track, uint8_t parameter);
uint8_t decodeBcd(uint8_t value);
void setEchoParameters(Engine *engine, TrackState &track);

// Per-tick passes.
void applySlides(Engine *engine);
void runCountdowns(Engine *engine);

} // namespace dbm
