// Stepping one volume or panning envelope by one tick. The engine's envelope
// pass calls this for each sounding track's envelopes.
#pragma once

#include "graph/envelope_state.h"
#include "module/module.h"

namespace dbm {

// This tick's value of one envelope; shift is 8 for volume, 7 for panning.
// A segment between equal positions lasts one tick.
int16_t stepEnvelope(EnvelopeState &state, const Envelope &envelope, unsigned shift);

} // namespace dbm
