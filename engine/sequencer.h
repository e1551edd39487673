// The tick sequencer: one call advances the song by one tick.
#pragma once

#include "engine/engine.h"

namespace dbm {

// One tick; returns 1 when this tick found the song stopped at a row start.
uint32_t runTick(Engine *engine);

} // namespace dbm
