// The per-tick envelope pass and parameter push, run by the tick sequencer
// after row processing and the countdowns (envelopes first).
//
// stepEnvelopes advances the envelopes of sounding tracks only.
// pushTrackParameters visits every track: the pitch with arpeggio and
// vibrato becomes a resampling step, volume, panning, envelopes and global
// volume become leftGain/rightGain (0..16384 each), and the panning goes to
// the voice chain. Speeds outside 1..31 are read as the nearest of those.
#pragma once

#include "engine/engine.h"
#include "module/module.h"

namespace dbm {

void stepEnvelopes(Engine *engine);
void pushTrackParameters(Engine *engine);
// Sends TAG_RESAMPLE_STEP for the 16-bit pitch (x speed) to the voice chain;
// nothing for a track without a sample instrument. Pitches below 96 x speed
// give step 0; 20 or more octaves above 384 give the largest step.
void pushPitch(Engine *engine, TrackState &track, uint16_t pitch);

} // namespace dbm
