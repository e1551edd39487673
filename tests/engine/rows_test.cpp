// Row processing: instruments, notes, tone-portamento entries, key-offs and
// the instrument defaults, observed on a playing engine at speed 6.
#include "engine_support.h"

#include <gtest/gtest.h>

using namespace dbm;
using namespace enginetest;

namespace {

constexpr int S = 6;

int32_t pitchOf(int octave, int semitone)
{
    return (octave * 12 + semitone) * 8 * S;
}

// songWith(cells) plus a second instrument of volume 20 on the same sample.
modwriter::ModuleSpec withSecondInstrument(const std::vector<Put> &cells)
{
    modwriter::ModuleSpec desc = songWith(cells);
    modwriter::InstrumentSpec second;
    second.name = "Second";
    second.sample = 1;
    second.volume = 20;
    second.baseRate = 44100;
    desc.instruments.push_back(second);
    return desc;
}

// songWith(cells) plus a volume envelope for instrument 1 with the given
// markers (0xFF leaves a marker off).
modwriter::ModuleSpec withMarkedEnvelope(const std::vector<Put> &cells, uint8_t sustainA, uint8_t loopEnd,
                                         uint8_t sustainB)
{
    modwriter::ModuleSpec desc = songWith(cells);
    modwriter::EnvelopeSpec envelope;
    envelope.instrument = 1;
    envelope.flags = 1 | (sustainA != 0xFF ? 2 : 0) | (loopEnd != 0xFF ? 4 : 0) | (sustainB != 0xFF ? 8 : 0);
    envelope.lastPoint = 3;
    envelope.sustainA = sustainA != 0xFF ? sustainA : 0;
    envelope.loopStart = 0;
    envelope.loopEnd = loopEnd != 0xFF ? loopEnd : 0;
    envelope.sustainB = sustainB != 0xFF ? sustainB : 0;
    envelope.points = {{0, 64}, {4, 48}, {8, 32}, {12, 16}};
    desc.volumeEnvelopes.push_back(envelope);
    return desc;
}

} // namespace

// A note with an instrument builds the voice and starts it at the note's pitch on tick 0.
TEST(NoteRows, NoteWithInstrumentBuildsAndStartsTheVoiceAtItsPitch)
{
    Player player(songWith({{0, 0, note(4, 0)}}));
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

// An instrument with octave 0 re-applies the playing instrument's defaults without a restart.
TEST(NoteRows, InstrumentWithoutOctaveReappliesDefaultsWithoutRestart)
{
    // row 1 names instrument 2 with octave 0
    Player player(withSecondInstrument({{0, 0, note(4, 0, 1, 12, 10)}, {1, 0, note(0, 5, 2)}}));
    ASSERT_TRUE(player.ready());
    player.ticks(S);
    TrackState &track = player.track(0);
    ProcessingNode *source = track.voiceChain.head;
    EXPECT_EQ(track.volume, 10 * S);
    moveSource(track, 77);
    player.tick();
    EXPECT_EQ(track.volume, 64 * S); // instrument 1's default, not instrument 2's
    EXPECT_EQ(track.currentInstrument, 1);
    EXPECT_EQ(track.voiceChain.head, source);
    EXPECT_EQ(track.pitch, pitchOf(4, 0));
    EXPECT_EQ(sourcePosition(track), 77u); // not restarted
}

// A note without instrument restarts the existing voice at the new pitch.
TEST(NoteRows, NoteWithoutInstrumentRestartsTheVoiceAtTheNewPitch)
{
    Player player(songWith({{0, 0, note(4, 0)}, {1, 0, note(4, 7, 0)}}));
    ASSERT_TRUE(player.ready());
    player.ticks(S);
    TrackState &track = player.track(0);
    ProcessingNode *source = track.voiceChain.head;
    moveSource(track, 77);
    track.sounding = 0;
    player.tick();
    EXPECT_EQ(track.voiceChain.head, source);
    EXPECT_EQ(track.pitch, pitchOf(4, 7));
    EXPECT_EQ(track.sounding, 1u);
    EXPECT_EQ(sourcePosition(track), 0u);
}

// Tone portamento (3 or 5) in either column only sets the target and
// re-applies the playing instrument's defaults.
TEST(NoteRows, TonePortamentoInEitherColumnOnlySetsTheTarget)
{
    for (int column = 1; column <= 2; ++column) {
        for (uint8_t effect : {3, 5}) {
            SCOPED_TRACE(testing::Message() << "column " << column << " effect " << int(effect));
            Player player(withSecondInstrument(
                {{0, 0, note(4, 0, 1, 12, 40)},
                 {1, 0, column == 1 ? note(5, 0, 2, effect, 0) : note(5, 0, 2, 0, 0, effect, 0)}}));
            ASSERT_TRUE(player.ready());
            player.ticks(S);
            TrackState &track = player.track(0);
            ProcessingNode *source = track.voiceChain.head;
            moveSource(track, 77);
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

// With octave 0 the note byte is ignored, even a key-off value.
TEST(NoteRows, OctaveZeroIgnoresTheNoteByte)
{
    // row 1 holds a key-off value without octave
    Player player(withMarkedEnvelope(
        {{0, 0, note(4, 0)}, {1, 0, note(0, 15, 0, 12, 20)}, {2, 0, note(0, 5, 0, 12, 30)}}, 1, 0xFF, 0xFF));
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

// A note above the pitch ceiling is stored, then clamped by the next tick's slides.
TEST(NoteRows, NoteAboveTheCeilingIsClampedOnTheNextTick)
{
    Player player(songWith({{0, 0, note(9, 5)}}));
    ASSERT_TRUE(player.ready());
    player.tick();
    EXPECT_EQ(player.track(0).pitch, pitchOf(9, 5));
    player.tick();
    EXPECT_EQ(player.track(0).pitch, 864 * S);
}

// Default volume above 64 and panning beyond 128 come into range with the next tick's slides.
TEST(NoteRows, DefaultsOutOfRangeAreBroughtIntoRangeByTheNextTicksSlides)
{
    modwriter::ModuleSpec desc = songWith({{0, 0, note(4, 0)}});
    desc.instruments[0].volume = 100;
    desc.instruments[0].panning = 200;
    Player player(desc);
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

// An instrument beyond the module's leaves the track silent but stores the pitch.
TEST(NoteRows, InstrumentThatCannotPlayLeavesTheTrackSilentButStoresThePitch)
{
    Player player(songWith({{0, 0, note(4, 0, 9)}}));
    ASSERT_TRUE(player.ready());
    player.tick();
    TrackState &track = player.track(0);
    EXPECT_EQ(track.currentInstrument, 0);
    EXPECT_EQ(track.sounding, 0u);
    EXPECT_EQ(track.pitch, pitchOf(4, 0));
    EXPECT_EQ(track.volume, 0);
}

// Key-off without a volume envelope silences at once and stops the panning envelope.
TEST(KeyOff, WithoutVolumeEnvelopeSilencesAtOnceAndStopsThePanningEnvelope)
{
    modwriter::ModuleSpec desc = songWith({{0, 0, note(4, 0)}, {1, 0, note(4, 12, 0)}});
    modwriter::EnvelopeSpec panning;
    panning.lastPoint = 1;
    panning.points = {{0, -128}, {64, 128}};
    desc.panningEnvelopes.push_back(panning);
    Player player(desc);
    ASSERT_TRUE(player.ready());
    player.ticks(S);
    TrackState &track = player.track(0);
    ASSERT_EQ(track.panningEnvelopeState.envelope, 0);
    player.tick();
    EXPECT_EQ(track.sounding, 0u);
    EXPECT_EQ(track.panningEnvelopeState.envelope, INDEX_NONE);
    EXPECT_EQ(track.pitch, pitchOf(4, 0));
}

// Key-off with an instrument builds a new chain and leaves it unstarted.
TEST(KeyOff, WithInstrumentBuildsTheChainAndLeavesItUnstarted)
{
    Player player(songWith({{0, 0, note(4, 0)}, {1, 0, note(4, 12, 1)}}));
    ASSERT_TRUE(player.ready());
    player.ticks(S);
    TrackState &track = player.track(0);
    moveSource(track, 77);
    player.tick();
    EXPECT_EQ(track.currentInstrument, 1);
    EXPECT_EQ(track.sounding, 0u);
    EXPECT_EQ(sourcePosition(track), 0u); // a new source, never started
    EXPECT_EQ(track.triggerCountdown, COUNTDOWN_IDLE - 1);
}

// Key-offs release the earliest marker first; on a tie loop end, then sustain A, then sustain B.
TEST(KeyOff, ReleasesTheEarliestMarkerFirstAndTiesInOrder)
{
    {
        SCOPED_TRACE("all markers on point 1");
        Player player(withMarkedEnvelope(
            {{0, 0, note(4, 0)}, {1, 0, note(4, 12, 0)}, {2, 0, note(4, 12, 0)}, {3, 0, note(4, 12, 0)}}, 1, 1, 1));
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
    SCOPED_TRACE("sustain A on 1, sustain B on 2, loop end on 3");
    Player player(withMarkedEnvelope({{0, 0, note(4, 0)}, {1, 0, note(4, 12, 0)}}, 1, 3, 2));
    ASSERT_TRUE(player.ready());
    player.ticks(S + 1);
    EnvelopeState &state = player.track(0).volumeEnvelopeState;
    EXPECT_EQ(state.sustainA, INDEX_NONE);
    EXPECT_EQ(state.sustainB, 2);
    EXPECT_EQ(state.loopEnd, 3);
}
