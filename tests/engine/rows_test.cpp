// Row processing: instruments, notes, tone-portamento entries, key-offs and
// the instrument defaults, observed on a playing engine at speed 6.
#include "effects_player.h"
#include "graph/chains.h"
#include "graph/nodes.h"

#include <gtest/gtest.h>

using namespace dbm;
using namespace effectstest;

namespace {

constexpr int S = 6;

int32_t pitchOf(int octave, int semitone)
{
    return (octave * 12 + semitone) * 8 * S;
}

uint32_t sourcePosition(TrackState &track)
{
    uint32_t position = 0xFFFFFFFF;
    track.voiceChain.head->getAttribute(ATTR_POSITION, &position);
    return position;
}

modwriter::InstrumentSpec secondInstrument(uint16_t volume)
{
    modwriter::InstrumentSpec instrument;
    instrument.name = "Second";
    instrument.sample = 1;
    instrument.volume = volume;
    instrument.baseRate = 44100;
    return instrument;
}

// A volume envelope for instrument 1 with the given markers (0xFF leaves a
// marker off).
modwriter::EnvelopeSpec markedEnvelope(uint8_t sustainA, uint8_t loopEnd, uint8_t sustainB)
{
    modwriter::EnvelopeSpec envelope;
    envelope.instrument = 1;
    envelope.flags = 1 | (sustainA != 0xFF ? 2 : 0) | (loopEnd != 0xFF ? 4 : 0) | (sustainB != 0xFF ? 8 : 0);
    envelope.lastPoint = 3;
    envelope.sustainA = sustainA != 0xFF ? sustainA : 0;
    envelope.loopStart = 0;
    envelope.loopEnd = loopEnd != 0xFF ? loopEnd : 0;
    envelope.sustainB = sustainB != 0xFF ? sustainB : 0;
    envelope.points = {{0, 64}, {4, 48}, {8, 32}, {12, 16}};
    return envelope;
}

} // namespace

TEST(NoteRows, NoteWithInstrumentBuildsAndStartsTheVoiceAtItsPitch)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.tick();
    TrackState &track = player.track(0);
    EXPECT_EQ(track.currentInstrument, 1);
    EXPECT_EQ(track.sounding, 1u);
    EXPECT_EQ(track.pitch, pitchOf(4, 0));
    EXPECT_EQ(track.volume, 64 * S);
    EXPECT_EQ(track.triggerCountdown, -1); // restarted at tick 0, no retrigger
    EXPECT_EQ(player.engine->currentRow, 1);
}

TEST(NoteRows, InstrumentWithoutOctaveReappliesDefaultsWithoutRestart)
{
    modwriter::ModuleSpec spec = songSpec();
    spec.instruments.push_back(secondInstrument(20));
    cell(spec, 0, 0) = note(4, 0, 1, 12, 10);
    cell(spec, 1, 0) = note(0, 5, 2); // names instrument 2, octave 0
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(S);
    TrackState &track = player.track(0);
    ProcessingNode *source = track.voiceChain.head;
    EXPECT_EQ(track.volume, 10 * S);
    track.voiceChain.head->setParameters(std::vector<NodeTag>{{TAG_POSITION, 77}, {TAG_END, 0}}.data());
    player.tick();
    EXPECT_EQ(track.volume, 64 * S); // instrument 1's default, not instrument 2's
    EXPECT_EQ(track.currentInstrument, 1);
    EXPECT_EQ(track.voiceChain.head, source);
    EXPECT_EQ(track.pitch, pitchOf(4, 0));
    EXPECT_EQ(sourcePosition(track), 77u); // not restarted
}

TEST(NoteRows, NoteWithoutInstrumentRestartsTheVoiceAtTheNewPitch)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0);
    cell(spec, 1, 0) = note(4, 7, 0);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(S);
    TrackState &track = player.track(0);
    ProcessingNode *source = track.voiceChain.head;
    track.voiceChain.head->setParameters(std::vector<NodeTag>{{TAG_POSITION, 77}, {TAG_END, 0}}.data());
    track.sounding = 0;
    player.tick();
    EXPECT_EQ(track.voiceChain.head, source);
    EXPECT_EQ(track.pitch, pitchOf(4, 7));
    EXPECT_EQ(track.sounding, 1u);
    EXPECT_EQ(sourcePosition(track), 0u);
}

TEST(NoteRows, TonePortamentoInEitherColumnOnlySetsTheTarget)
{
    for (int column = 1; column <= 2; ++column) {
        for (uint8_t effect : {3, 5}) {
            SCOPED_TRACE(testing::Message() << "column " << column << " effect " << int(effect));
            modwriter::ModuleSpec spec = songSpec();
            spec.instruments.push_back(secondInstrument(20));
            cell(spec, 0, 0) = note(4, 0, 1, 12, 40);
            cell(spec, 1, 0) = column == 1 ? note(5, 0, 2, effect, 0) : note(5, 0, 2, 0, 0, effect, 0);
            Player player(spec);
            ASSERT_TRUE(player.ready());
            player.ticks(S);
            TrackState &track = player.track(0);
            ProcessingNode *source = track.voiceChain.head;
            track.voiceChain.head->setParameters(std::vector<NodeTag>{{TAG_POSITION, 77}, {TAG_END, 0}}.data());
            player.tick();
            EXPECT_EQ(track.portamentoTarget, (5 * 12) * 8);
            EXPECT_EQ(track.pitch, pitchOf(4, 0));
            EXPECT_EQ(track.currentInstrument, 1);
            EXPECT_EQ(track.voiceChain.head, source);
            EXPECT_EQ(track.volume, 64 * S); // the playing instrument's default
            EXPECT_EQ(track.triggerCountdown, COUNTDOWN_IDLE - 1);
            EXPECT_EQ(sourcePosition(track), 77u);
        }
    }
}

TEST(NoteRows, OctaveZeroIgnoresTheNoteByte)
{
    modwriter::ModuleSpec spec = songSpec();
    spec.volumeEnvelopes.push_back(markedEnvelope(1, 0xFF, 0xFF));
    cell(spec, 0, 0) = note(4, 0);
    cell(spec, 1, 0) = note(0, 15, 0, 12, 20); // a key-off value without octave
    cell(spec, 2, 0) = note(0, 5, 0, 12, 30);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(S + 1);
    TrackState &track = player.track(0);
    EXPECT_EQ(track.volumeEnvelopeState.sustainA, 1);
    EXPECT_EQ(track.sounding, 1u);
    EXPECT_EQ(track.volume, 20 * S);
    player.ticks(S);
    EXPECT_EQ(track.pitch, pitchOf(4, 0));
    EXPECT_EQ(track.volume, 30 * S);
    EXPECT_EQ(track.triggerCountdown, COUNTDOWN_IDLE - 1);
}

TEST(KeyOff, WithoutVolumeEnvelopeSilencesAtOnceAndStopsThePanningEnvelope)
{
    modwriter::ModuleSpec spec = songSpec();
    modwriter::EnvelopeSpec panning;
    panning.lastPoint = 1;
    panning.points = {{0, -128}, {64, 128}};
    spec.panningEnvelopes.push_back(panning);
    cell(spec, 0, 0) = note(4, 0);
    cell(spec, 1, 0) = note(4, 12, 0);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(S);
    TrackState &track = player.track(0);
    ASSERT_EQ(track.panningEnvelopeState.envelope, 0);
    player.tick();
    EXPECT_EQ(track.sounding, 0u);
    EXPECT_EQ(track.panningEnvelopeState.envelope, INDEX_NONE);
    EXPECT_EQ(track.pitch, pitchOf(4, 0));
}

TEST(KeyOff, WithInstrumentBuildsTheChainAndLeavesItUnstarted)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0);
    cell(spec, 1, 0) = note(4, 12, 1);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(S);
    TrackState &track = player.track(0);
    track.voiceChain.head->setParameters(std::vector<NodeTag>{{TAG_POSITION, 77}, {TAG_END, 0}}.data());
    player.tick();
    EXPECT_EQ(track.currentInstrument, 1);
    EXPECT_EQ(track.sounding, 0u);
    EXPECT_EQ(sourcePosition(track), 0u); // a new source, never started
    EXPECT_EQ(track.triggerCountdown, COUNTDOWN_IDLE - 1);
}

TEST(KeyOff, SuccessiveKeyOffsReleaseLoopEndThenSustainAThenSustainB)
{
    modwriter::ModuleSpec spec = songSpec();
    spec.volumeEnvelopes.push_back(markedEnvelope(1, 1, 1));
    cell(spec, 0, 0) = note(4, 0);
    for (unsigned row = 1; row <= 3; ++row)
        cell(spec, row, 0) = note(4, 12, 0);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(S);
    EnvelopeState &state = player.track(0).volumeEnvelopeState;
    ASSERT_EQ(state.loopEnd, 1);
    player.ticks(S);
    EXPECT_EQ(state.loopEnd, INDEX_NONE);
    EXPECT_EQ(state.sustainA, 1);
    EXPECT_EQ(state.sustainB, 1);
    player.ticks(S);
    EXPECT_EQ(state.sustainA, INDEX_NONE);
    EXPECT_EQ(state.sustainB, 1);
    player.ticks(S);
    EXPECT_EQ(state.sustainB, INDEX_NONE);
    EXPECT_EQ(player.track(0).sounding, 1u);
}

TEST(KeyOff, ReleasesTheEarliestPointFirst)
{
    modwriter::ModuleSpec spec = songSpec();
    spec.volumeEnvelopes.push_back(markedEnvelope(1, 3, 2));
    cell(spec, 0, 0) = note(4, 0);
    cell(spec, 1, 0) = note(4, 12, 0);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.ticks(S + 1);
    EnvelopeState &state = player.track(0).volumeEnvelopeState;
    EXPECT_EQ(state.sustainA, INDEX_NONE);
    EXPECT_EQ(state.sustainB, 2);
    EXPECT_EQ(state.loopEnd, 3);
}

TEST(NoteRows, NoteAboveTheCeilingIsClampedOnTheNextTick)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(9, 5);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.tick();
    EXPECT_EQ(player.track(0).pitch, pitchOf(9, 5));
    player.tick();
    EXPECT_EQ(player.track(0).pitch, 864 * S);
}

TEST(NoteRows, DefaultsOutOfRangeAreBroughtIntoRangeByTheNextTicksSlides)
{
    modwriter::ModuleSpec spec = songSpec();
    spec.instruments[0].volume = 100;
    spec.instruments[0].panning = 200;
    cell(spec, 0, 0) = note(4, 0);
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.tick();
    TrackState &track = player.track(0);
    EXPECT_EQ(track.volume, 100 * S);
    EXPECT_EQ(track.panning, 200 * S);
    EXPECT_EQ(track.leftGain, 0);
    EXPECT_EQ(track.rightGain, 16384);
    player.tick();
    EXPECT_EQ(track.volume, 64 * S);
    EXPECT_EQ(track.panning, 128 * S);
}

TEST(NoteRows, InstrumentThatCannotPlayLeavesTheTrackSilentButStoresThePitch)
{
    modwriter::ModuleSpec spec = songSpec();
    cell(spec, 0, 0) = note(4, 0, 9); // beyond the module's instruments
    Player player(spec);
    ASSERT_TRUE(player.ready());
    player.tick();
    TrackState &track = player.track(0);
    EXPECT_EQ(track.currentInstrument, 0);
    EXPECT_EQ(track.sounding, 0u);
    EXPECT_EQ(track.pitch, pitchOf(4, 0));
    EXPECT_EQ(track.volume, 0);
}
