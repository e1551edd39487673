// Modules for the render benchmarks and the golden-output test, composed in
// code with our module writer, and a small player that renders them through
// the stream operations exactly as a host does.
//
// Everything here is deterministic and plain C++, so the same modules come
// out byte for byte on every build (the PowerPC cross build included).
#pragma once

#include "tools/modwriter/modwriter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace benchmodules {

// Busy music on every track, all the time: looped samples of each loop mode
// (forward, ping-pong, and mode 3), a note every four rows on every track,
// slides, vibrato, arpeggio, portamento, volume and panning slides, volume
// and panning envelopes, a panning spread over the tracks, some backwards
// starts and sample offsets. Four 64-row patterns, twelve orders (about 92
// seconds). With `echo`, every track has an echo from the DSPE flags and the
// echo commands change the echo settings as the song goes on.
modwriter::ModuleSpec denseModule(uint16_t tracks, bool echo);

// The demo module (the piece kvplay plays when given no file).
modwriter::ModuleSpec demoModule();

// The render benchmark's modules, in a fixed order, with the names used by
// the benchmarks and the golden hashes.
struct NamedModule {
    std::string name;
    uint16_t tracks;
    std::vector<uint8_t> bytes;
};
std::vector<NamedModule> renderModules();

// A module whose only sample holds `dataBytes` bytes of stored sample data of
// `width` bits (8, 16 or 32), for timing the reader.
std::vector<uint8_t> sampleLoadModule(unsigned width, uint32_t dataBytes);

} // namespace benchmodules
