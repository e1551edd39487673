// What the tick pushes to the voices and the mix: resampling steps from
// pitches, the track gains, envelope stepping by sounding tracks, and the
// echoes the echo commands add, remove and set.
#include "engine/chains.h"
#include "engine/parameters.h"
#include "engine/rows.h"
#include "engine_support.h"
#include "graph/echo.h"
#include "graph/pan_delay.h"
#include "graph/resampler.h"

#include <algorithm>

using namespace dbm;
using namespace enginetest;

namespace {

ResamplerNode &resampler(Player &p) { return *static_cast<ResamplerNode *>(p.track(0).voiceChain.head->next); }

EchoNode *echoOf(TrackState &track)
{
    ProcessingNode *last = track.outputChain.last();
    return last && last->kind == NODE_ECHO ? static_cast<EchoNode *>(last) : nullptr;
}

// The echo modes of tracks 0..3 as the digits of one number.
int echoModes(Player &p)
{
    int modes = 0;
    for (unsigned t = 0; t < 4; ++t)
        modes = 10 * modes + queryOutputChain(p.track(t), ATTR_ECHO_MODE);
    return modes;
}

// Tracks 0 and 1 flagged for echo; row 0 switches a track-mode echo on for track 2.
ModuleSpec echoSong(std::initializer_list<Put> cells)
{
    ModuleSpec desc = songWith(cells);
    cell(desc, 0, 2) = effects(31, 0x20);
    desc.dspe = true;
    desc.echoTrackBytes = {0, 0, 1, 1};
    return desc;
}

} // namespace

// The step is 2^(pitch / 96 octaves) x base rate / output rate in 16.16,
// with the pitch in eighths of a semitone x speed.
TEST_F(EngineTest, PitchSteps)
{
    struct Case {
        const char *rule;
        int32_t speed;
        uint32_t baseRate;
        int32_t pitch;
        uint32_t step;
    };
    const Case cases[] = {
        {"the reference pitch plays at the base rate", 6, 44100, 384 * 6, 0x10000},
        {"one octave up doubles the step", 6, 44100, 480 * 6, 0x20000},
        {"the remainder of the speed is a fine step: 2^(1/576) x 65536, rounded", 6, 44100, 384 * 6 + 1, 65615},
        {"half the base rate halves the step", 6, 22050, 384 * 6, 0x8000},
        {"a pitch below the lowest octave holds the voice", 6, 44100, 96 * 6 - 1, 0},
        {"the lowest octave plays an eighth of the base rate", 6, 44100, 96 * 6, 8192},
        {"nineteen octaves up is 2^35, of which the low 32 bits are kept", 1, 44100, 96 + 19 * 96, 0},
        {"twenty octaves up saturates instead of shifting negatively", 1, 44100, 96 + 20 * 96, UINT32_MAX},
        {"the highest pitch saturates", 1, 44100, 65535, UINT32_MAX},
        {"speed 0 is read as speed 1", 0, 44100, 384, 0x10000},
        {"speed 40 is read as speed 31", 40, 44100, 384 * 31, 0x10000},
    };
    for (const Case &c : cases) {
        ModuleSpec desc = songWith({{0, 0, note(4, 0)}});
        desc.instruments[0].baseRate = c.baseRate;
        Player player(desc);
        player.tick();
        player.engine->speed = c.speed;
        player.track(0).pitch = c.pitch;
        pushTrackParameters(player.engine);
        EXPECT_EQ(resampler(player).step, std::min(c.step, MAX_RESAMPLE_STEP)) << c.rule; // the resampler's limit
    }
}

// Vibrato adds depth x sine / 256 and advances its phase by its speed,
// wrapping at 64; the arpeggio offset of the phase is added after the slides,
// which stop at the pitch limits; a track without a sample instrument gets no step.
TEST_F(EngineTest, VibratoArpeggioAndLimitsInTheStep)
{
    Player player(songWith({{0, 0, note(4, 0)}}));
    player.tick();
    TrackState &track = player.track(0);
    track.vibratoDepth = 15 * S;
    track.vibratoSpeed = 4;
    track.vibratoPhase = 16; // the sine's peak, 256
    pushTrackParameters(player.engine);
    EXPECT_EQ(resampler(player).step, 73032u); // 15 eighths of a semitone up: 2^(15/96)
    EXPECT_EQ(track.vibratoPhase, 20);
    track.vibratoPhase = 48; // the trough
    pushTrackParameters(player.engine);
    EXPECT_EQ(resampler(player).step, 58809u); // 15 down: half of 2^(81/96)
    track.vibratoSpeed = 8;
    track.vibratoPhase = 60;
    pushTrackParameters(player.engine);
    EXPECT_EQ(track.vibratoPhase, 4);

    track.pitch = 96 * S + 5;
    track.pitchSlide = -24;
    track.arpeggioOffsets[1] = 96 * S;
    track.vibratoPhase = 16;
    applySlides(player.engine);
    EXPECT_EQ(track.pitch, 96 * S);
    player.engine->arpeggioPhase = 1;
    pushTrackParameters(player.engine);
    EXPECT_EQ(resampler(player).step, 73032u >> 2); // an octave above the lowest plus 15 eighths
    track.pitch = 864 * S - 10;
    track.pitchSlide = 24;
    applySlides(player.engine);
    EXPECT_EQ(track.pitch, 864 * S);
    track.currentInstrument = 2;
    track.pitch = 384 * S;
    pushTrackParameters(player.engine);
    EXPECT_EQ(resampler(player).step, 73032u >> 2);
}

// Gains: volume x volume envelope x global volume, the panning law lowering
// only the far side, volume and panning brought into range first. The pan
// delay follows the track's own panning without the envelope.
TEST_F(EngineTest, TrackGains)
{
    struct Case {
        const char *rule;
        int32_t volume, panning; // unscaled
        int16_t volumeEnvelope, panningEnvelope, globalVolume, left, right;
    };
    const Case cases[] = {
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
    Player player(songWith({{0, 0, note(4, 0)}}));
    player.tick();
    TrackState &track = player.track(0);
    for (const Case &c : cases) {
        track.volume = c.volume * S;
        track.panning = c.panning * S;
        track.volumeEnvelopeValue = c.volumeEnvelope;
        track.panningEnvelopeValue = c.panningEnvelope;
        player.engine->globalVolume = c.globalVolume;
        pushTrackParameters(player.engine);
        EXPECT_EQ(std::vector<int>({track.leftGain, track.rightGain}), std::vector<int>({c.left, c.right})) << c.rule;
    }
    track.panning = -40 * S;
    track.panningEnvelopeValue = 16384;
    pushTrackParameters(player.engine);
    const auto &delay = *static_cast<PanDelayNode *>(track.voiceChain.last());
    EXPECT_EQ(std::vector<int>({delay.leftDelay, delay.rightDelay}), std::vector<int>({0, 1})); // 40^2 x 14 / 128^2
}

// Only sounding tracks step their envelopes; an envelope index outside the module is never read.
TEST_F(EngineTest, EnvelopesStepOnSoundingTracks)
{
    ModuleSpec desc = songWith({{0, 0, note(4, 0)}});
    desc.volumeEnvelopes.push_back({1, 1, 1, 0, 0, 0, 0, {{0, 0}, {4, 64}}});
    Player player(desc);
    player.ticks(2);
    TrackState &track = player.track(0);
    EXPECT_EQ(track.volumeEnvelopeValue, 4096);
    track.sounding = 0;
    player.tick();
    EXPECT_EQ(track.volumeEnvelopeValue, 4096);
    track.sounding = 1;
    track.volumeEnvelopeState.envelope = 3;
    player.tick();
    EXPECT_EQ(track.volumeEnvelopeValue, 4096);
}

// Effect 31: 0x00/0x01 add/remove this track's global echo, 0x10/0x11 every
// track's, 0x20/0x21 this track's track-mode echo; adding over an echo of
// either mode adds nothing and removing takes only its own mode. The module
// flags tracks 0 and 1 (global echoes); row 0 gives track 2 a track-mode echo.
TEST_F(EngineTest, EchoSwitch)
{
    struct Case {
        const char *rule;
        uint8_t command;
        unsigned track;
        int modes;
    };
    const Case cases[] = {
        {"0x00 adds a global echo to this track", 0x00, 3, 1121}, {"0x10 adds global echoes where there is none", 0x10, 0, 1121},
        {"0x20 adds a track-mode echo", 0x20, 3, 1122},           {"0x00 over a track-mode echo adds nothing", 0x00, 2, 1120},
        {"0x20 over a global echo adds nothing", 0x20, 0, 1120},  {"0x01 removes this track's global echo", 0x01, 0, 120},
        {"0x01 leaves a track-mode echo", 0x01, 2, 1120},         {"0x11 removes every global echo only", 0x11, 3, 20},
        {"0x21 removes this track's track-mode echo", 0x21, 2, 1100}, {"0x21 leaves a global echo", 0x21, 0, 1120},
        {"0x02 does nothing", 0x02, 3, 1120},                     {"0x31 does nothing", 0x31, 0, 1120},
    };
    for (const Case &c : cases) {
        ModuleSpec desc = echoSong({});
        cell(desc, 1, c.track) = effects(31, c.command);
        Player player(desc);
        player.ticks(S);
        EchoNode *before = echoOf(player.track(2));
        player.tick();
        EXPECT_EQ(echoModes(player), c.modes) << c.rule;
        if (c.modes % 100 / 10 == 2) { // the echo was kept, not made anew
            EXPECT_EQ(echoOf(player.track(2)), before) << c.rule;
        }
    }
}

// Settings from a track without echo reach every global echo but not a
// track-mode one; settings on a track with a track-mode echo reach only it.
// 32 ms is 1411.2 frames at 44100 Hz, the default 128 ms 5644.8; the
// module's feedback 128 and cross-feed 255 are sent along: 128 x (256 - 255).
TEST_F(EngineTest, EchoSettings)
{
    Player player(echoSong({{1, 3, effects(32, 16, 34, 64)}, {2, 2, effects(34, 200)}}));
    player.ticks(S + 1);
    for (unsigned t : {0u, 1u}) {
        const EchoNode &echo = *echoOf(player.track(t));
        EXPECT_EQ(std::vector<int>({echo.delayFrames, echo.wetLevel, echo.directFeedback}), std::vector<int>({1411, 64, 128}));
        EXPECT_EQ(player.track(t).echoMix, 64u);
    }
    EXPECT_EQ(std::vector<int>({echoOf(player.track(2))->delayFrames, echoOf(player.track(2))->wetLevel}), std::vector<int>({5645, 128}));
    player.ticks(S);
    EXPECT_EQ(echoOf(player.track(2))->wetLevel, 200);
    EXPECT_EQ(echoOf(player.track(0))->wetLevel, 64);
}

// A flagged track's echo sounds on after its sample ends, with its envelopes
// running; an echo removed and added again starts from silence and the defaults.
TEST_F(EngineTest, EchoTailAndRenewal)
{
    ModuleSpec desc = songWith({{0, 0, note(4, 0, 1, 34, 200)}, {0, 1, note(4, 0)}, {4, 0, effects(31, 0x01, 31, 0x00)}}, 2);
    desc.dspe = true;
    desc.echoTrackBytes = {0, 1};
    desc.samples[0].frames.assign(300, 8000);
    desc.volumeEnvelopes.push_back({1, 1, 1, 0, 0, 0, 0, {{0, 64}, {64, 0}}});
    Player player(desc);
    player.playTick();
    player.playTick();
    const int16_t echoed = player.track(0).volumeEnvelopeValue, ended = player.track(1).volumeEnvelopeValue;
    bool tail = false;
    for (int tick = 2; tick < 4 * S; ++tick)
        tail = player.playTick() || tail;
    EXPECT_TRUE(tail);
    EXPECT_EQ(std::vector<int>({int(player.track(0).sounding), int(player.track(1).sounding)}), std::vector<int>({1, 0}));
    EXPECT_LT(player.track(0).volumeEnvelopeValue, echoed);
    EXPECT_EQ(player.track(1).volumeEnvelopeValue, ended);
    ASSERT_EQ(echoOf(player.track(0))->wetLevel, 200);
    player.tick();
    const EchoNode &echo = *echoOf(player.track(0));
    EXPECT_EQ(std::vector<int>({echo.wetLevel, echo.delayFrames, echo.writeIndex}), std::vector<int>({128, 5645, 0}));
    EXPECT_EQ(std::count(echo.buffer, echo.buffer + 2 * echo.bufferFrames, 0), 2 * echo.bufferFrames);
}
