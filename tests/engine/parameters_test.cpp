// The parameter push: resampling steps from pitches, and the track gains from
// volume, panning, envelopes and global volume.
#include "engine_support.h"
#include "graph/parameters.h"

#include <gtest/gtest.h>

using namespace dbm;
using enginetest::HandEngine;
using enginetest::ProbeNode;

namespace {

uint32_t stepFor(HandEngine &hand, ProbeNode &probe, int32_t pitch)
{
    hand.tracks[0].pitch = pitch;
    pushTrackParameters(&hand.engine);
    return probe.last(TAG_RESAMPLE_STEP);
}

struct StepCase {
    const char *rule;
    int32_t speed;
    uint32_t baseRate;
    int32_t pitch;
    uint32_t step;
};

struct GainCase {
    const char *rule;
    int32_t volume, panning; // unscaled
    int16_t volumeEnvelope, panningEnvelope, globalVolume;
    int16_t left, right;
};

} // namespace

// The step is 2^(pitch / 96 octaves) from the fine and octave tables, scaled by base rate / output rate.
TEST(PitchStep, StepsFromPitchSpeedAndBaseRate)
{
    const StepCase cases[] = {
        {"the reference pitch plays at the base rate", 6, 44100, 384 * 6, 0x10000u},
        {"one octave up doubles the step", 6, 44100, 480 * 6, 0x20000u},
        {"the remainder of the speed selects the fine factor", 6, 44100, 384 * 6 + 1, 65615u},
        {"base rate against output rate scales the step", 6, 22050, 384 * 6, 0x8000u},
        {"a pitch below the lowest octave holds the voice", 6, 44100, 96 * 6 - 1, 0u},
        {"the lowest octave", 6, 44100, 96 * 6, 65536u >> 3},
        {"twenty octaves up saturates instead of shifting negatively", 1, 44100, 96 + 20 * 96, UINT32_MAX},
        {"the highest pitch saturates", 1, 44100, 65535, UINT32_MAX},
        {"nineteen octaves up is computed: 2^35, of which the low 32 bits are kept", 1, 44100, 96 + 19 * 96, 0u},
        {"speed 0 is read as speed 1", 0, 44100, 384, 0x10000u},
    };
    for (const StepCase &c : cases) {
        SCOPED_TRACE(c.rule);
        HandEngine hand;
        hand.setSpeed(c.speed);
        hand.instrument.baseRate = c.baseRate;
        ProbeNode &probe = hand.attachProbe(0);
        EXPECT_EQ(stepFor(hand, probe, c.pitch), c.step);
    }
}

// A speed beyond the fine tables is read as the nearest table.
TEST(PitchStep, SpeedOutsideTheTablesIsReadAsTheNearestTable)
{
    HandEngine hand;
    ProbeNode &probe = hand.attachProbe(0);
    hand.engine.speed = 31;
    const uint32_t at31 = stepFor(hand, probe, 384 * 31 + 30);
    hand.engine.speed = 40;
    EXPECT_EQ(stepFor(hand, probe, 384 * 31 + 30), at31);
}

// A track whose instrument is missing or not a sample gets no step.
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

// The arpeggio phase selects which offset is added to the pitch.
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

// Vibrato adds the depth-scaled sine and advances its phase by its speed, wrapping at 64.
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
    track.vibratoSpeed = 8;
    track.vibratoPhase = 60;
    pushTrackParameters(&hand.engine);
    EXPECT_EQ(track.vibratoPhase, 4);
}

// Gains: volume x volume envelope x global volume, the panning law attenuating
// only the far side, with volume and panning brought into range first.
TEST(TrackGains, PanningLawAndRanges)
{
    const GainCase cases[] = {
        {"centre", 64, 0, 16384, 0, 64, 16384, 16384},
        {"full right", 64, 128, 16384, 0, 64, 0, 16384},
        {"half right", 64, 64, 16384, 0, 64, 8192, 16384},
        {"half left", 64, -64, 16384, 0, 64, 16384, 8192},
        {"global volume halves", 64, 0, 16384, 0, 32, 8192, 8192},
        {"envelope fully left", 64, 0, 16384, -16384, 64, 16384, 0},
        {"no room left to move", 64, 128, 16384, -16384, 64, 0, 16384},
        {"half the room right", 64, 64, 16384, 8192, 64, 4096, 16384},
        {"the volume envelope scales both sides", 64, 0, 4096, 0, 64, 4096, 4096},
        {"a silent track", 0, 0, 16384, 0, 64, 0, 0},
        {"unchecked volume and panning far right", 300, 1000, 16384, 0, 64, 0, 16384},
        {"unchecked volume and panning far left", 300, -1000, 16384, 0, 64, 16384, 0},
    };
    for (const GainCase &c : cases) {
        SCOPED_TRACE(c.rule);
        HandEngine hand;
        TrackState &track = hand.tracks[0];
        track.volume = c.volume * 6;
        track.panning = c.panning * 6;
        track.volumeEnvelopeValue = c.volumeEnvelope;
        track.panningEnvelopeValue = c.panningEnvelope;
        hand.engine.globalVolume = c.globalVolume;
        pushTrackParameters(&hand.engine);
        EXPECT_EQ(track.leftGain, c.left);
        EXPECT_EQ(track.rightGain, c.right);
    }
}

// The voice gets the track's own panning, unscaled, without the envelope.
TEST(PanningTag, VoiceGetsTheTracksOwnPanningUnscaled)
{
    HandEngine hand;
    ProbeNode &probe = hand.attachProbe(0);
    hand.tracks[0].panning = -40 * 6;
    hand.tracks[0].panningEnvelopeValue = 16384;
    pushTrackParameters(&hand.engine);
    EXPECT_EQ(static_cast<int32_t>(probe.last(TAG_PANNING)), -40);
}
