// Creating, configuring and destroying an engine.
#pragma once

#include "engine/engine.h"

namespace dbm {

// A new engine for `module` at `sampleRate` (8000..192000) rendering at most
// `maxFrames` (> 0) frames per call, ready to play song 0 from its start; null
// on any failure with nothing left allocated. Modules without tracks or whose
// song 0 has no orders are refused. The module must outlive the engine.
Engine *createEngine(const Module *module, uint32_t sampleRate, uint32_t maxFrames);
// Frees every chain, buffer and the record; null accepted. The module is only read.
void destroyEngine(Engine *engine);
// Output gain 2^(level/6) / trackCount in 16.16, and the clip level. Returns the gain.
int32_t setOutputLevel(Engine *engine, int16_t level);
// Play position (also taken as the row played until the first row start); no checks.
void setPosition(Engine *engine, uint32_t song, int32_t order, int32_t row);
void resetEngine(Engine *engine);
void resetTracks(Engine *engine);
void buildPanDelayTable(int16_t *table, uint32_t sampleRate);

} // namespace dbm
