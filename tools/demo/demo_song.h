// The demo module: a 40-second piece in A minor for ten tracks, composed in
// code with our module writer. kvplay renders it when given no file, and the
// tests use it as a module that exercises most of the player at once:
// forward and ping-pong loops, volume and panning envelopes, arpeggio,
// vibrato, portamento, pitch, volume and panning slides, retriggers, note
// cuts and delays, echo from the DSPE flags and from the echo commands, a
// tempo change, a speed change and a stop command on the last row.
#pragma once

#include "tools/modwriter/modwriter.h"

namespace demo {

// The complete module description; write it with modwriter::write.
modwriter::ModuleSpec demoSong();

} // namespace demo
