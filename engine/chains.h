// Building, querying and tearing down a track's chains.
#pragma once

#include "engine/engine.h"

namespace dbm {

// Builds source, resampler and pan delay for `instrument` (1-based) into the
// track's voice chain, replacing the old one. Returns 1 when built, 0 when
// not (the track is then silent, currentInstrument 0).
uint32_t buildVoiceChain(Engine *engine, TrackState &track, uint32_t instrument);
// Appends an echo of `mode` to the output chain unless one is there. Returns
// the existing echo's mode, non-zero when one was added, 0 on failure.
uint32_t addEcho(Engine *engine, TrackState &track, uint32_t mode);
// Unlinks and destroys the first echo node of the output chain, if any.
void removeEcho(TrackState &track);
void sendVoiceTags(TrackState &track, const NodeTag *tags);
void sendOutputTags(TrackState &track, const NodeTag *tags);
// The value of the first node of the output chain that answers `id`, else 0.
int32_t queryOutputChain(TrackState &track, uint32_t id);

} // namespace dbm
