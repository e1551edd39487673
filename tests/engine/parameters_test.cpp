// The parameter push: resampling steps from pitches, and the track gains from
// volume, panning, envelopes and global volume.
#include "effects_support.h"
#include "graph/parameters.h"

#include <gtest/gtest.h>

using namespace dbm;
using effectstest::HandEngine;
using effectstest::ProbeNode;

namespace {

uint32_t stepFor(HandEngine &hand, ProbeNode &probe, int32_t pitch)
{
    hand.tracks[0].pitch = pitch;
    pushTrackParameters(&hand.engine);
    return probe.last(TAG_RESAMPLE_STEP);
}

} // namespace

TEST(PitchStep, ReferencePitchPlaysAtTheBaseRate)
{
    HandEngine hand;
    ProbeNode &probe = hand.attachProbe(0);
    EXPECT_EQ(stepFor(hand, probe, 384 * 6), 0x10000u);
}

TEST(PitchStep, OneOctaveUpDoublesTheStep)
{
    HandEngine hand;
    ProbeNode &probe = hand.attachProbe(0);
    EXPECT_EQ(stepFor(hand, probe, 480 * 6), 0x20000u);
}

TEST(PitchStep, RemainderOfTheSpeedSelectsTheFineFactor)
{
    HandEngine hand;
    ProbeNode &probe = hand.attachProbe(0);
    EXPECT_EQ(stepFor(hand, probe, 384 * 6 + 1), 65615u);
}

TEST(PitchStep, BaseRateAgainstOutputRateScalesTheStep)
{
    HandEngine hand;
    ProbeNode &probe = hand.attachProbe(0);
    hand.instrument.baseRate = 22050;
    EXPECT_EQ(stepFor(hand, probe, 384 * 6), 0x8000u);
}

TEST(PitchStep, PitchBelowTheLowestOctaveHoldsTheVoice)
{
    HandEngine hand;
    ProbeNode &probe = hand.attachProbe(0);
    EXPECT_EQ(stepFor(hand, probe, 96 * 6 - 1), 0u);
    EXPECT_EQ(stepFor(hand, probe, 96 * 6), 65536u >> 3);
}

TEST(PitchStep, TwentyOctavesUpSaturatesInsteadOfShiftingNegatively)
{
    HandEngine hand;
    hand.setSpeed(1);
    ProbeNode &probe = hand.attachProbe(0);
    EXPECT_EQ(stepFor(hand, probe, 96 + 20 * 96), UINT32_MAX);
    EXPECT_EQ(stepFor(hand, probe, 65535), UINT32_MAX);
    // Nineteen octaves up is still computed: 2^35, of which the low 32 bits are kept.
    EXPECT_EQ(stepFor(hand, probe, 96 + 19 * 96), 0u);
}

TEST(PitchStep, SpeedOutsideTheTablesIsReadAsTheNearestTable)
{
    HandEngine hand;
    ProbeNode &probe = hand.attachProbe(0);
    hand.engine.speed = 31;
    const uint32_t at31 = stepFor(hand, probe, 384 * 31 + 30);
    hand.engine.speed = 40;
    EXPECT_EQ(stepFor(hand, probe, 384 * 31 + 30), at31);
    hand.engine.speed = 0;
    EXPECT_EQ(stepFor(hand, probe, 384), 0x10000u);
}

TEST(PitchStep, TrackWithoutSampleInstrumentGetsNoStep)
{
    HandEngine hand;
    ProbeNode &probe = hand.attachProbe(0);
    hand.instrument.type = 2;
    stepFor(hand, probe, 384 * 6);
    EXPECT_EQ(probe.last(TAG_RESAMPLE_STEP, 7), 7u);
    hand.instrument.type = INSTRUMENT_TYPE_SAMPLE;
    hand.tracks[0].currentInstrument = 2;
    stepFor(hand, probe, 384 * 6);
    EXPECT_EQ(probe.last(TAG_RESAMPLE_STEP, 7), 7u);
}

TEST(PitchStep, ArpeggioPhaseSelectsItsOffset)
{
    HandEngine hand;
    ProbeNode &probe = hand.attachProbe(0);
    hand.tracks[0].arpeggioOffsets[1] = 12 * 8 * 6;
    hand.tracks[0].arpeggioOffsets[2] = 7 * 8 * 6;
    hand.engine.arpeggioPhase = 0;
    EXPECT_EQ(stepFor(hand, probe, 384 * 6), 0x10000u);
    hand.engine.arpeggioPhase = 1;
    EXPECT_EQ(stepFor(hand, probe, 384 * 6), 0x20000u);
}

TEST(PitchStep, VibratoAddsTheScaledSineAndAdvancesItsPhase)
{
    HandEngine hand;
    ProbeNode &probe = hand.attachProbe(0);
    TrackState &track = hand.tracks[0];
    track.vibratoDepth = 15 * 6;
    track.vibratoSpeed = 4;
    track.vibratoPhase = 16; // the sine's peak, 256
    EXPECT_EQ(stepFor(hand, probe, 384 * 6), 73032u); // 15 eighths of a semitone up
    EXPECT_EQ(track.vibratoPhase, 20);
    track.vibratoPhase = 48; // the trough
    EXPECT_EQ(stepFor(hand, probe, 384 * 6), 58809u); // 15 down: half of 2^(81/96)
}

TEST(PitchStep, VibratoPhaseWrapsAt64)
{
    HandEngine hand;
    TrackState &track = hand.tracks[0];
    track.vibratoSpeed = 8;
    track.vibratoPhase = 60;
    pushTrackParameters(&hand.engine);
    EXPECT_EQ(track.vibratoPhase, 4);
}

struct GainCase {
    int32_t panning; // unscaled
    int16_t panningEnvelope;
    int16_t globalVolume;
    int16_t left, right;
};

class TrackGains : public ::testing::TestWithParam<GainCase> {};

TEST_P(TrackGains, PanningLawAttenuatesOnlyTheFarSide)
{
    const GainCase c = GetParam();
    HandEngine hand;
    TrackState &track = hand.tracks[0];
    track.volume = 64 * 6;
    track.panning = c.panning * 6;
    track.volumeEnvelopeValue = 16384;
    track.panningEnvelopeValue = c.panningEnvelope;
    hand.engine.globalVolume = c.globalVolume;
    pushTrackParameters(&hand.engine);
    EXPECT_EQ(track.leftGain, c.left);
    EXPECT_EQ(track.rightGain, c.right);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrackGains,
                         ::testing::Values(GainCase{0, 0, 64, 16384, 16384},      // centre
                                           GainCase{128, 0, 64, 0, 16384},        // full right
                                           GainCase{64, 0, 64, 8192, 16384},      // half right
                                           GainCase{-64, 0, 64, 16384, 8192},     // half left
                                           GainCase{0, 0, 32, 8192, 8192},        // global volume halves
                                           GainCase{0, -16384, 64, 16384, 0},     // envelope fully left
                                           GainCase{128, -16384, 64, 0, 16384},   // no room left to move
                                           GainCase{64, 8192, 64, 4096, 16384})); // half the room right

TEST(TrackGainsRange, VolumeEnvelopeScalesBothSides)
{
    HandEngine hand;
    TrackState &track = hand.tracks[0];
    track.volume = 64 * 6;
    track.volumeEnvelopeValue = 4096;
    pushTrackParameters(&hand.engine);
    EXPECT_EQ(track.leftGain, 4096);
    EXPECT_EQ(track.rightGain, 4096);
}

TEST(TrackGainsRange, UncheckedDefaultsCannotPushGainsOutOfRange)
{
    HandEngine hand;
    TrackState &track = hand.tracks[0];
    track.volume = 300 * 6;
    track.panning = 1000 * 6;
    track.volumeEnvelopeValue = 16384;
    pushTrackParameters(&hand.engine);
    EXPECT_EQ(track.leftGain, 0);
    EXPECT_EQ(track.rightGain, 16384);
    track.panning = -1000 * 6;
    pushTrackParameters(&hand.engine);
    EXPECT_EQ(track.leftGain, 16384);
    EXPECT_EQ(track.rightGain, 0);
}

TEST(TrackGainsRange, SilentTrackHasZeroGains)
{
    HandEngine hand;
    hand.tracks[0].volumeEnvelopeValue = 16384;
    pushTrackParameters(&hand.engine);
    EXPECT_EQ(hand.tracks[0].leftGain, 0);
    EXPECT_EQ(hand.tracks[0].rightGain, 0);
}

TEST(PanningTag, VoiceGetsTheTracksOwnPanningUnscaled)
{
    HandEngine hand;
    ProbeNode &probe = hand.attachProbe(0);
    hand.tracks[0].panning = -40 * 6;
    hand.tracks[0].panningEnvelopeValue = 16384;
    pushTrackParameters(&hand.engine);
    EXPECT_EQ(static_cast<int32_t>(probe.last(TAG_PANNING)), -40);
}
