// The per-tick envelope pass and parameter push.
#pragma once

#include "engine/engine.h"
#include "module/module.h"

namespace dbm {

void stepEnvelopes(Engine *engine);
// This tick's value of one envelope; shift is 8 for volume, 7 for panning.
int16_t stepEnvelope(EnvelopeState &state, const Envelope &envelope, unsigned shift);
void pushTrackParameters(Engine *engine);
void pushPitch(Engine *engine, TrackState &track, uint16_t pitch);

} // namespace dbm
