// Envelope stepping: segments, holds, sustain release, loops, and envelopes
// whose positions repeat or fall.
#include "engine_support.h"
#include "graph/parameters.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

using namespace dbm;

namespace {

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

struct StepCase {
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

// Each tick gives the envelope's value along its segments, scaled by the shift.
TEST(EnvelopeStep, ValuesTickByTick)
{
    const StepCase cases[] = {
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
    for (const StepCase &c : cases) {
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
    enginetest::HandEngine hand(2);
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
    enginetest::HandEngine hand(2);
    hand.tracks[0].sounding = 1;
    hand.tracks[0].volumeEnvelopeState.envelope = 3;
    hand.tracks[0].volumeEnvelopeValue = 16384;
    stepEnvelopes(&hand.engine);
    EXPECT_EQ(hand.tracks[0].volumeEnvelopeValue, 16384);
}
