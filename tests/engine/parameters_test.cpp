// The per-tick parameter stage: envelope stepping (segments, holds, sustain
// release, loops, repeated and falling positions), resampling steps from
// pitches, and the track gains from volume, panning, envelopes and global volume.
#include "engine/parameters.h"
#include "graph/envelopes.h"
#include "engine_support.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

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

Envelope makeEnvelope(std::initializer_list<std::pair<uint16_t, int16_t>> points)
{
    Envelope envelope{};
    envelope.instrument = 1;
    envelope.loopStart = INDEX_NONE;
    envelope.loopEnd = INDEX_NONE;
    envelope.sustainA = INDEX_NONE;
    envelope.sustainB = INDEX_NONE;
    unsigned i = 0;
    for (const auto &point : points)
        envelope.points[i++] = {point.first, point.second};
    envelope.lastPoint = static_cast<uint16_t>(i - 1);
    return envelope;
}

// The state a voice restart leaves.
EnvelopeState restarted(const Envelope &envelope)
{
    EnvelopeState state{};
    state.sustainA = envelope.sustainA;
    state.sustainB = envelope.sustainB;
    state.loopEnd = envelope.loopEnd;
    return state;
}

std::vector<int> run(EnvelopeState &state, const Envelope &envelope, unsigned shift, int ticks)
{
    std::vector<int> values;
    for (int i = 0; i < ticks; ++i)
        values.push_back(stepEnvelope(state, envelope, shift));
    return values;
}

struct EnvelopeCase {
    const char *rule;
    Envelope envelope;
    unsigned shift;
    std::vector<int> expected;
};

Envelope looped(Envelope envelope, uint16_t loopStart, uint16_t loopEnd)
{
    envelope.loopStart = loopStart;
    envelope.loopEnd = loopEnd;
    return envelope;
}

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

// Each tick gives the envelope's value along its segments, scaled by the shift.
TEST(EnvelopeStep, ValuesTickByTick)
{
    const EnvelopeCase cases[] = {
        {"the (0,0)-(4,64) ramp rises over its ticks, then holds at the last point",
         makeEnvelope({{0, 0}, {4, 64}}), 8, {0, 4096, 8192, 12288, 16384, 16384, 16384}},
        {"a loop jumps back without showing its end point's value",
         looped(makeEnvelope({{0, 0}, {2, 64}, {4, 32}}), 1, 2), 8,
         {0, 8192, 16384, 12288, 16384, 12288, 16384, 12288, 16384}},
        {"a segment between repeated positions lasts one tick", makeEnvelope({{0, 0}, {0, 64}, {4, 0}}), 8,
         {0, 16384, 12288, 8192, 4096, 0}},
        {"a full panning swing runs both ways", makeEnvelope({{0, -128}, {4, 128}, {8, -128}}), 7,
         {-16384, -8192, 0, 8192, 16384, 8192, 0, -8192, -16384, -16384}},
    };
    for (const EnvelopeCase &c : cases) {
        SCOPED_TRACE(c.rule);
        EnvelopeState state = restarted(c.envelope);
        EXPECT_EQ(run(state, c.envelope, c.shift, int(c.expected.size())), c.expected);
    }
}

// A sustain point holds until its marker is cleared; then the envelope runs on.
TEST(EnvelopeStep, SustainHoldsUntilItsMarkerIsCleared)
{
    Envelope envelope = makeEnvelope({{0, 0}, {4, 64}, {8, 32}});
    envelope.sustainA = 1;
    EnvelopeState state = restarted(envelope);
    EXPECT_EQ(run(state, envelope, 8, 8),
              (std::vector<int>{0, 4096, 8192, 12288, 16384, 16384, 16384, 16384}));
    state.sustainA = INDEX_NONE;
    EXPECT_EQ(run(state, envelope, 8, 7), (std::vector<int>{16384, 14336, 12288, 10240, 8192, 8192, 8192}));
}

// A released loop runs on to its end point and holds there.
TEST(EnvelopeStep, ReleasedLoopRunsOnToItsEndPoint)
{
    const Envelope envelope = looped(makeEnvelope({{0, 0}, {2, 64}, {4, 32}}), 1, 2);
    EnvelopeState state = restarted(envelope);
    run(state, envelope, 8, 4);
    state.loopEnd = INDEX_NONE;
    EXPECT_EQ(run(state, envelope, 8, 3), (std::vector<int>{8192, 8192, 8192}));
}

// Falling positions give the long segment of the 16-bit wrapped length, never a division by zero.
TEST(EnvelopeStep, FallingPositionsGiveTheLongWrappedSegment)
{
    const Envelope envelope = makeEnvelope({{10, 0}, {5, 64}});
    EnvelopeState state = restarted(envelope);
    EXPECT_EQ(stepEnvelope(state, envelope, 8), 0);
    EXPECT_EQ(state.segmentTicks, 65531);
    EXPECT_EQ(state.ticksLeft, 65530);
    int value = 0;
    for (int tick = 1; tick < 65531; ++tick) {
        value = stepEnvelope(state, envelope, 8);
        ASSERT_GE(value, 0);
        ASSERT_LT(value, 16384);
    }
    EXPECT_EQ(value, 65530 * 16384 / 65531);
    EXPECT_EQ(stepEnvelope(state, envelope, 8), 16384);
}

// A full swing over the longest segment (2048 ticks) stays exact.
TEST(EnvelopeStep, LongestSwingOverTheLongestSegmentStaysExact)
{
    const Envelope envelope = makeEnvelope({{0, -128}, {2048, 128}});
    EnvelopeState state = restarted(envelope);
    for (int elapsed = 0; elapsed < 2048; ++elapsed)
        ASSERT_EQ(stepEnvelope(state, envelope, 7), -16384 + elapsed * 32768 / 2048);
    EXPECT_EQ(stepEnvelope(state, envelope, 7), 16384);
}

// Only sounding tracks step their envelopes: a track whose sample ended keeps its value.
TEST(EnvelopePass, OnlySoundingTracksStepTheirEnvelopes)
{
    HandEngine hand(2);
    Envelope envelopes[1] = {makeEnvelope({{0, 0}, {4, 64}})};
    hand.module.volumeEnvelopes = envelopes;
    hand.module.volumeEnvelopeCount = 1;
    for (TrackState &track : hand.tracks) {
        track.volumeEnvelopeState = restarted(envelopes[0]);
        track.volumeEnvelopeValue = 16384;
    }
    hand.tracks[0].sounding = 1;
    stepEnvelopes(&hand.engine);
    stepEnvelopes(&hand.engine);
    EXPECT_EQ(hand.tracks[0].volumeEnvelopeValue, 4096);
    EXPECT_EQ(hand.tracks[1].volumeEnvelopeValue, 16384);
    EXPECT_EQ(hand.tracks[1].volumeEnvelopeState.point, 0);
}

// An envelope index outside the module is never read.
TEST(EnvelopePass, EnvelopeIndexOutsideTheModuleIsNotRead)
{
    HandEngine hand(2);
    hand.tracks[0].sounding = 1;
    hand.tracks[0].volumeEnvelopeState.envelope = 3;
    hand.tracks[0].volumeEnvelopeValue = 16384;
    stepEnvelopes(&hand.engine);
    EXPECT_EQ(hand.tracks[0].volumeEnvelopeValue, 16384);
}
