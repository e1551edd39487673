// The demo module's bytes, written at build time by the demo generator from
// demoSong() and compiled into kvplay.
#pragma once

#include <cstddef>
#include <cstdint>

namespace demo {

extern const uint8_t EMBEDDED_MODULE[];
extern const size_t EMBEDDED_MODULE_SIZE;

} // namespace demo
