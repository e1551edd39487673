// The render loop: ticks, mixing and output conversion.
#pragma once

#include "engine/engine.h"

namespace dbm {

// Renders up to `wanted` (<= maxFrames) frames into `out` (2 x wanted native
// 16-bit samples, always written in full). Returns the frames rendered: fewer
// than wanted when the song has stopped in this call (the rest is silence).
uint32_t renderFrames(Engine *engine, uint32_t wanted, int16_t *out);
// Sets framesLeftInTick for the tick just run from tempo and sample rate.
void computeTickLength(Engine *engine);

} // namespace dbm
