// What the tick pushes to the voices and the mix: resampling steps from
// pitches, the track gains, and envelope stepping by sounding tracks.
#include "engine/parameters.h"
#include "engine_support.h"
#include "graph/pan_delay.h"
#include "graph/resampler.h"

#include <algorithm>

using namespace dbm;
using namespace enginetest;

namespace {

ResamplerNode &resampler(Player &p) { return *static_cast<ResamplerNode *>(p.track(0).voiceChain.head->next); }

} // namespace

// The step is 2^(pitch / 96 octaves) x base rate / output rate in 16.16,
// with the pitch in eighths of a semitone x speed, vibrato (depth x sine /
// 256) and the arpeggio offset of the phase added.
TEST_F(EngineTest, PitchSteps)
{
    struct Case {
        const char *rule;
        int32_t speed;
        uint32_t baseRate;
        int32_t pitch;
        uint32_t step;
        int16_t vibratoDepth = 0, vibratoPhase = 0, arpeggio = 0; // the offset of phase 1
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
        {"vibrato at the sine's peak (phase 16) adds the depth: 15 eighths up, 2^(15/96)", 6, 44100, 384 * 6, 73032, 15 * 6, 16},
        {"vibrato at the trough (phase 48) takes it off: half of 2^(81/96)", 6, 44100, 384 * 6, 58809, 15 * 6, 48},
        {"the arpeggio offset of the phase is added: an octave above the lowest, 15 eighths up", 6, 44100, 96 * 6, 73032 >> 2,
         15 * 6, 16, 96 * 6},
    };
    for (const Case &c : cases) {
        ModuleSpec desc = songWith({{0, 0, note(4, 0)}});
        desc.instruments[0].baseRate = c.baseRate;
        Player player(desc);
        player.tick();
        player.engine->speed = c.speed;
        player.track(0).pitch = c.pitch;
        player.track(0).vibratoDepth = c.vibratoDepth;
        player.track(0).vibratoPhase = uint16_t(c.vibratoPhase);
        player.track(0).arpeggioOffsets[1] = c.arpeggio;
        player.engine->arpeggioPhase = 1;
        pushTrackParameters(player.engine);
        EXPECT_EQ(resampler(player).step, std::min(c.step, MAX_RESAMPLE_STEP)) << c.rule; // the resampler's limit
    }
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
