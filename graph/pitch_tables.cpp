#include "graph/pitch_tables.h"
namespace dbm { // stub values, to be filled
const uint32_t FINE_PITCH_TABLES[32][31] = {};
const uint32_t OCTAVE_PITCH_TABLE[96] = {};
const int16_t VIBRATO_SINE[64] = {};
}
