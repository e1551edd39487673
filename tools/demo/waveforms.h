// Synthesised instrument samples for the demo module.
//
// Every generator uses integer arithmetic only, so the module bytes are the
// same on every build host. A "cycle" below is one period of the note C-4:
// an instrument whose sample holds cycles of `CYCLE_FRAMES` frames plays C-4
// (about 261.6 Hz) at its base rate `CYCLE_BASE_RATE`.
#pragma once

#include <cstdint>
#include <vector>

namespace demo {

constexpr uint32_t CYCLE_FRAMES = 64;
constexpr uint32_t CYCLE_BASE_RATE = 16744; // 64 x 261.63 Hz

// Sine of a 32-bit phase (2^32 = one turn), scaled to +-32767.
int32_t sine(uint32_t phase);

// A plucked string (a delay line of one cycle fed with noise, averaged and
// damped), `frames` long, no loop.
std::vector<int32_t> pluckedBass(uint32_t frames);

// A chorus pad: three detuned saw-like tones whose cycle counts all fit the
// sample exactly, so the whole sample loops forward without a seam.
std::vector<int32_t> chorusPad(uint32_t frames);

// A lead tone built from cosine harmonics (symmetric around every cycle
// start, so a ping-pong loop between cycle starts turns smoothly), its
// brightness slowly changing along the sample. `frames` is a multiple of a cycle.
std::vector<int32_t> lead(uint32_t frames);

// A bell-like pluck: a few inharmonic partials with their own decays.
std::vector<int32_t> bell(uint32_t frames);

// Drums at 22050 Hz (played at C-4 with that base rate).
std::vector<int32_t> kick();
std::vector<int32_t> snare();
std::vector<int32_t> hiHat();

} // namespace demo
