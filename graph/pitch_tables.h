// Constant tables of the parameter push: fine and octave pitch factors in
// 16.16, and the vibrato sine.
#pragma once

#include <cstdint>

namespace dbm {

// FINE_PITCH_TABLES[k][j], k = 1..31, j < k: 65536 x 2^(j / (96k)) rounded.
// Row 0 is unused.
extern const uint32_t FINE_PITCH_TABLES[32][31];
// 65536 x 2^(j / 96) rounded, with entries 59, 61 and 63 three below.
extern const uint32_t OCTAVE_PITCH_TABLE[96];
// One sine period, peak 256.
extern const int16_t VIBRATO_SINE[64];

} // namespace dbm
