// Playing a module the way the plug-in's audio stream plays it, shared by the
// stream and by every other program that must deliver the same bytes.
//
// The stream's engine runs at 44100 Hz with room for 44100 frames per render
// call and output level 16. A request is served by render calls of at most
// that size; a call that comes back short (the song stopped in it) is not an
// end: the next call goes on with whatever the voices and echoes still sound.
#pragma once

#include "engine/engine.h"

#include <cstdint>

namespace dbm {

constexpr uint32_t STREAM_RATE = 44100;
constexpr uint32_t STREAM_MAX_RENDER = 44100;
constexpr int16_t STREAM_OUTPUT_LEVEL = 16;

// An engine for `module` as the stream makes it, ready to play song 0; null
// on any failure (see createEngine). The module must outlive the engine.
Engine *createStreamEngine(const Module *module);

// Renders into `out` (2 x frames native 16-bit samples) in render calls of at
// most STREAM_MAX_RENDER frames until `frames` frames are written, or until
// at least `limit` frames are (the piece that reaches the limit is rendered
// whole: its frames beyond the limit stay in `out`). Returns the frames
// rendered. Nothing is rendered for 0 frames; with a limit of 0 one piece is.
uint32_t renderRequest(Engine *engine, uint32_t frames, int16_t *out, uint32_t limit);

} // namespace dbm
