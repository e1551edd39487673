#include "graph/pitch_tables.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace dbm;

namespace {

int64_t nearest(double value)
{
    return int64_t(std::floor(value + 0.5));
}

} // namespace

TEST(PitchTables, FineTablesHoldTheRoundedFactorsOfTheirRow)
{
    for (int k = 1; k <= 31; ++k) {
        EXPECT_EQ(FINE_PITCH_TABLES[k][0], 65536u);
        for (int j = 0; j < k; ++j)
            EXPECT_EQ(int64_t(FINE_PITCH_TABLES[k][j]),
                      nearest(65536.0 * std::pow(2.0, j / (96.0 * k))))
                << "k " << k << " j " << j;
    }
}

TEST(PitchTables, OctaveTableHoldsRoundedFactorsExceptThreeEntries)
{
    for (int j = 0; j < 96; ++j) {
        const int64_t rounded = nearest(65536.0 * std::pow(2.0, j / 96.0));
        const bool lowered = j == 59 || j == 61 || j == 63;
        EXPECT_EQ(int64_t(OCTAVE_PITCH_TABLE[j]), lowered ? rounded - 3 : rounded) << "j " << j;
    }
    EXPECT_EQ(OCTAVE_PITCH_TABLE[0], 65536u);
    EXPECT_EQ(OCTAVE_PITCH_TABLE[59], 100340u);
    EXPECT_EQ(OCTAVE_PITCH_TABLE[61], 101800u);
    EXPECT_EQ(OCTAVE_PITCH_TABLE[63], 103280u);
    EXPECT_EQ(OCTAVE_PITCH_TABLE[95], 130129u);
}

TEST(PitchTables, VibratoSineIsTheRoundedSineExceptFourEntries)
{
    for (int j = 0; j < 64; ++j) {
        // The long double sine: the PowerPC emulator we test under lacks an
        // instruction that the C library's double sine uses.
        const long double turn = 2.0L * std::acos(-1.0L) * j / 64.0L;
        const int64_t rounded = nearest(double(256.0L * std::sin(turn)));
        const bool lowered = j == 9 || j == 23 || j == 41 || j == 55;
        const int64_t towardZero = rounded > 0 ? rounded - 1 : rounded + 1;
        EXPECT_EQ(VIBRATO_SINE[j], lowered ? towardZero : rounded) << "j " << j;
    }
    EXPECT_EQ(VIBRATO_SINE[9], 197);
    EXPECT_EQ(VIBRATO_SINE[55], -197);
    EXPECT_EQ(VIBRATO_SINE[16], 256);
    EXPECT_EQ(VIBRATO_SINE[48], -256);
}
