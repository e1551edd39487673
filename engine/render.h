// The render loop: ticks, mixing and output conversion.
//
// renderFrames is the engine's one audio operation (called by the stream and
// the command-line player); the other three are its steps, public so that the
// accumulator arithmetic can be checked on its own. None of them allocates.
#pragma once

#include "engine/engine.h"

namespace dbm {

// Renders up to `wanted` frames into `out` (2 x wanted native 16-bit samples,
// always written in full). Returns the frames rendered: fewer than wanted when
// the song has stopped in this call (the rest is silence). A request above
// the engine's maxFrames renders nothing and returns 0 with `out` silent.
uint32_t renderFrames(Engine *engine, uint32_t wanted, int16_t *out);
// Sets framesLeftInTick for the tick just run from tempo and sample rate,
// carrying the division's remainder in tickRemainder.
void computeTickLength(Engine *engine);

// Zeroes the first `frames` stereo frames of the accumulator.
void clearMix(Engine *engine, uint32_t frames);
// When the track sounds: has the last node of its output chain add `frames`
// stereo frames, scaled by the track's 2.14 gains, into `mix` (wrapping;
// trackScratch is its scratch) and stores the pull's result in `sounding`;
// a muted track is pulled into trackScratch but not added.
void mixTrack(Engine *engine, TrackState &track, int32_t *mix, uint32_t frames);
// Accumulator to 16-bit: beyond +-clipLevel saturates to +-32767, otherwise
// (v x outputGain) >> 16.
void convertOutput(const Engine *engine, uint32_t frames, int16_t *out);

} // namespace dbm
