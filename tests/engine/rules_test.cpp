// The rules of notes, instruments, key-offs and effects as per-tick traces of
// track 0 at speed 6, and what the tick pushes to the voices and the mix
// (resampling steps and gains): one row per rule, the values worked out from the rule.
#include "engine/chains.h"
#include "engine/parameters.h"
#include "engine/rows.h"
#include "engine_support.h"
#include "graph/pan_delay.h"
#include "graph/resampler.h"

#include <algorithm>

using namespace dbm;
using namespace enginetest;

namespace {

constexpr int pitchOf(int octave, int semitone) { return (octave * 12 + semitone) * 8 * S; }

int pitch(Player &p) { return p.track(0).pitch; }
int volume(Player &p) { return p.track(0).volume; }
int panning(Player &p) { return p.track(0).panning; }
int sounding(Player &p) { return int(p.track(0).sounding); }
int globalVolume(Player &p) { return p.engine->globalVolume; }
int orderAndRow(Player &p) { return 1000 * p.engine->orderPosition + p.engine->currentRow; }
int target(Player &p) { return p.track(0).portamentoTarget; }

// The voice's source position, then moved to 50, so that only a restart (or a new voice) reads 0.
int source(Player &p)
{
    TrackState &track = p.track(0);
    if (track.voiceChain.empty())
        return -1;
    uint32_t position = 0;
    track.voiceChain.head->getAttribute(ATTR_POSITION, &position);
    const NodeTag tags[] = {{TAG_POSITION, 50}, {TAG_END, 0}};
    track.voiceChain.head->setParameters(tags);
    return int(position);
}

// The volume envelope's markers still armed: loop end 4, sustain A 2, sustain B 1.
int markers(Player &p)
{
    const EnvelopeState &state = p.track(0).volumeEnvelopeState;
    return 4 * (state.loopEnd != INDEX_NONE) + 2 * (state.sustainA != INDEX_NONE) + (state.sustainB != INDEX_NONE);
}

void volume32(ModuleSpec &desc) { desc.instruments[0].volume = 32; }
void outOfRange(ModuleSpec &desc) { desc.instruments[0].volume = 100, desc.instruments[0].panning = 200; }
void longSample(ModuleSpec &desc) { desc.samples[0].frames.assign(140000, 1000); }
void secondInstrument(ModuleSpec &desc) { desc.instruments.push_back({"Second", 1, 20, 44100, 0, 0, 0, 0}); }
void twoPatterns(ModuleSpec &desc)
{
    desc.patterns.push_back(pattern(64, 4));
    desc.songs[0].orders = {0, 1};
}
void panningEnvelope(ModuleSpec &desc) { desc.panningEnvelopes.push_back({1, 1, 1, 0, 0, 0, 0, {{0, -128}, {64, 128}}}); }
// A volume envelope on instrument 1 over points 0..3 with the markers given (0xFF: off).
void volumeEnvelope(ModuleSpec &desc, uint8_t sustainA, uint8_t loopEnd, uint8_t sustainB)
{
    const uint8_t flags = 1 | (sustainA != 0xFF ? 2 : 0) | (loopEnd != 0xFF ? 4 : 0) | (sustainB != 0xFF ? 8 : 0);
    desc.volumeEnvelopes.push_back({1, flags, 3, uint8_t(sustainA & 3), 0, uint8_t(loopEnd & 3), uint8_t(sustainB & 3),
                                    {{0, 64}, {4, 48}, {8, 32}, {12, 16}}});
}
void allMarkersOnOne(ModuleSpec &desc) { volumeEnvelope(desc, 1, 1, 1); }
void markersOnOneTwoThree(ModuleSpec &desc) { volumeEnvelope(desc, 1, 3, 2); }

const Put NOTE = {0, 0, note(4, 0)}, VOLUME40 = {0, 0, note(4, 0, 1, 12, 40)};

// The echo modes of tracks 0..3 as the digits of one number.
int echoModes(Player &p)
{
    int modes = 0;
    for (unsigned t = 0; t < 4; ++t)
        modes = 10 * modes + queryOutputChain(p.track(t), ATTR_ECHO_MODE);
    return modes;
}

// Tracks 0 and 1 flagged for echo (global echoes); row 0 gives track 2 a track-mode echo.
void echoes(ModuleSpec &desc)
{
    cell(desc, 0, 2) = effects(31, 0x20);
    desc.dspe = true;
    desc.echoTrackBytes = {0, 0, 1, 1};
}

ResamplerNode &resampler(Player &p) { return *static_cast<ResamplerNode *>(p.track(0).voiceChain.head->next); }

} // namespace

TEST_F(EngineTest, EffectsTickByTick)
{
    expectRules({
        {"pitch slide 0xF4 adds 4 once per tick (fine)", {{0, 0, note(4, 0, 1, 1, 0xF4)}}, pitch, {2304, 2308, 2312, 2316, 2320, 2324}},
        {"pitch slide 4 adds 4 x speed every tick", {{0, 0, note(4, 0, 1, 1, 4)}}, pitch, {2304, 2328, 2352}},
        {"a pitch slide down stops at the lowest pitch", {{0, 0, note(1, 1, 1, 2, 10)}}, pitch, {pitchOf(1, 1), 96 * S, 96 * S}},
        {"at speed 3 a slide up stops at the ceiling 864 x 3", {{0, 0, note(9, 5, 1, 15, 3)}}, pitch, {113 * 8 * 3, 864 * 3}},
        {"speed 3 and tempo 150 take effect at their row start: 2.5 x 44100 / 150 frames a tick, 3 ticks a row",
         {{0, 0, effects(15, 3, 15, 150)}}, [](Player &p) { return int(p.engine->framesLeftInTick) * 10 + p.engine->currentRow; },
         {7351, 7351, 7351, 7352}},
        {"a speed change at its row start rescales the held volume", {VOLUME40, {1, 0, effects(15, 4)}}, volume, {40 * 6, 40 * 4}, 0, S},
        {"volume slide 0 repeats the last parameter 0x20", {{0, 0, note(4, 0, 1, 12, 10, 10, 0x20)}, {1, 0, effects(10, 0)}},
         volume, {20 * S, 22 * S, 24 * S, 26 * S}, S - 1},
        {"portamento step 40 toward a target 10 away lands on it (speed 1)",
         {{0, 0, note(4, 0, 1, 15, 1)}, {1, 0, effects(14, 0x2A)}, {2, 0, note(4, 0, 0, 3, 40)}, {3, 0, effects(3, 0)}}, pitch,
         {384, 374, 374, 384, 384}},
        {"portamento 1 toward the pitch it holds stays there (speed 1)",
         {{0, 0, note(4, 0, 1, 15, 1)}, {1, 0, note(4, 0, 0, 3, 1)}, {2, 0, effects(3, 0)}, {3, 0, effects(3, 0)}}, pitch, {384, 384, 384, 384}},
        {"downward portamento stops on the target", {{0, 0, note(4, 1)}, {1, 0, note(4, 0, 0, 3, 3)}}, pitch, {2352, 2334, 2316, 2304}, S},
        {"global volume 16 slides up unscaled; 65 is ignored, slide 0 repeats",
         {{0, 0, note(4, 0, 1, 16, 16, 17, 0x20)}, {1, 0, effects(16, 65, 17, 0)}}, globalVolume, {16, 18, 20, 22, 24, 26, 28, 30}},
        {"global volume slide down 5 from 12 stops at 0", {{0, 0, note(4, 0, 1, 16, 12, 17, 0x05)}}, globalVolume, {12, 7, 2, 0, 0}},
        {"note delay 3 starts the note at tick 3", {{0, 0, note(4, 0, 1, 14, 0xD3)}}, sounding, {0, 0, 0, 1, 1, 1}},
        {"note delay of the speed never starts it in that row", {{0, 0, note(4, 0, 1, 14, 0xD6)}}, sounding, std::vector<int>(2 * S, 0)},
        {"note cut 0 silences from tick 0", {{0, 0, note(4, 0, 1, 10, 0x40, 14, 0xC0)}}, volume, std::vector<int>(S, 0)},
        {"note cut 2 holds 0 despite a slide up", {{0, 0, note(4, 0, 1, 10, 0x40, 14, 0xC2)}}, volume, {192, 216, 0, 0, 0}, 0, 1, volume32},
        {"a row delay of 2 holds the row 2 x speed ticks while its slides go on",
         {{1, 0, effects(12, 64, 10, 0x01)}, {1, 1, effects(14, 0xE2)}}, volume, {(64 - 5 - 12 - 1) * S}, 24},
        {"effect 5 with 0 repeats its own memory byte, not the volume slide's",
         {{0, 0, note(4, 0, 1, 12, 32, 10, 0x20)}, {1, 0, effects(5, 0x03)}, {2, 0, effects(5, 0)}},
         [](Player &p) { return int(p.track(0).volumeSlide); }, {-3 * S}, 2 * S},
        {"effect 5 takes its portamento step from effect 3's memory byte", {{0, 0, note(4, 0, 1, 3, 0x10)}, {1, 0, note(5, 0, 0, 5, 1)}},
         [](Player &p) { return int(p.track(0).portamentoStep); }, {0x10 * S}, S},
        {"set volume above 64 is ignored; 0 silences", {VOLUME40, {1, 0, effects(12, 65)}, {2, 0, effects(12, 0)}}, volume, {240, 240, 0}, 0, S},
        {"effect 8 with 0 is full left; extended 0x88 is the centre", {{0, 0, note(4, 0, 1, 8, 0)}, {1, 0, effects(14, 0x88)}},
         panning, {-128 * S, 0}, 0, S},
        {"panning slide 25 moves right by x, left by y, not at all with both",
         {{0, 0, note(4, 0, 1, 25, 0x20)}, {1, 0, effects(25, 0x03)}, {2, 0, effects(25, 0x23)}}, panning, {0, 12 * S, -6 * S, -6 * S},
         0, S},
        {"pattern break 13 goes to decimal row 32 of the next pattern", {{5, 0, effects(13, 0x32)}}, orderAndRow, {6, 1033}, 30, S, twoPatterns},
        {"pattern loop 0x62 plays its section 3 times", {{1, 0, effects(14, 0x60)}, {2, 0, effects(14, 0x62)}}, orderAndRow,
         {1, 2, 3, 2, 3, 2, 3, 4}, 0, S},
        {"a loop start while a loop runs leaves the loop where it is",
         {{1, 0, effects(14, 0x60)}, {3, 0, effects(14, 0x61, 14, 0x60)}}, orderAndRow, {1, 2, 3, 4, 2, 3, 4, 5}, 0, S},
        {"effect 9 (x 256) and 0x7y (x 65536) add into the offset the restart uses", {{0, 0, note(4, 0, 1, 9, 0x10, 14, 0x72)}}, source,
         {4096 + 131072}, 0, 1, longSample},
        {"they add in either order", {{0, 0, note(4, 0, 1, 14, 0x72, 9, 0x10)}}, source, {4096 + 131072}, 0, 1, longSample},
        {"the arpeggio phase cycles 0, 1, 2 and restarts at each row start (speed 4)", {{0, 0, note(4, 0, 1, 15, 4)}},
         [](Player &p) { return int(p.engine->arpeggioPhase); }, {1, 2, 0, 1, 1}},
        {"arpeggio 0x37 adds x = 3 semitones in phase 1, y = 7 in phase 2", {{0, 0, note(4, 0, 1, 0, 0x37)}},
         [](Player &p) { return p.track(0).arpeggioOffsets[1] * 1000 + p.track(0).arpeggioOffsets[2]; }, {3 * 8 * S * 1000 + 7 * 8 * S}},
        {"the vibrato phase steps by its speed from the restart, wrapping at 64; effect 6 goes on with it",
         {{0, 0, note(4, 0, 1, 4, 0xD8)}, {1, 0, effects(6, 0)}}, [](Player &p) { return int(p.track(0).vibratoPhase); },
         {13, 26, 39, 52, 1, 14, 27}},
        {"vibrato depth is scaled by the speed and kept by effect 6", {{0, 0, note(4, 0, 1, 4, 0xD8)}, {1, 0, effects(6, 0)}},
         [](Player &p) { return int(p.track(0).vibratoDepth); }, {8 * S, 8 * S}, 0, S},
        {"retrigger 2 restarts the note every 2 ticks of its row", {{0, 0, note(4, 0, 1, 14, 0x92)}}, source, {0, 50, 0, 50, 0, 50, 50, 50}},
        {"retrigger without a note restarts nothing", {NOTE, {1, 0, effects(14, 0x91)}}, source, {0, 50, 50, 50, 50, 50, 50}, S - 1},
        {"a track without a voice keeps its countdowns but nothing fires", {{0, 0, note(4, 0, 9, 14, 0xD2, 14, 0xC1)}},
         [](Player &p) { return p.track(0).triggerCountdown * 10 + p.track(0).cutCountdown; }, {21, 21, 21}},
    });
}

TEST_F(EngineTest, NotesInstrumentsAndKeyOffs)
{
    expectRules({
        {"an instrument with octave 0 re-applies the playing instrument's defaults",
         {{0, 0, note(4, 0, 1, 12, 10)}, {1, 0, note(0, 5, 2)}}, volume, {10 * S, 64 * S}, 0, S, secondInstrument},
        {"... without a restart", {{0, 0, note(4, 0, 1, 12, 10)}, {1, 0, note(0, 5, 2)}}, source, {0, 50}, 0, S, secondInstrument},
        {"a note without instrument restarts the voice", {NOTE, {1, 0, note(4, 7, 0)}}, source, {0, 0}, 0, S},
        {"... at the new pitch", {NOTE, {1, 0, note(4, 7, 0)}}, pitch, {pitchOf(4, 0), pitchOf(4, 7)}, 0, S},
        {"tone portamento 3 only sets the target", {VOLUME40, {1, 0, note(5, 0, 2, 3, 0)}}, target, {480}, S, 1, secondInstrument},
        {"tone portamento 5 in column 2 likewise", {VOLUME40, {1, 0, note(5, 0, 2, 0, 0, 5, 0)}}, target, {480}, S, 1, secondInstrument},
        {"tone portamento keeps the voice going", {VOLUME40, {1, 0, note(5, 0, 2, 0, 0, 5, 0)}}, source, {0, 50}, 0, S, secondInstrument},
        {"tone portamento re-applies the playing instrument's volume", {VOLUME40, {1, 0, note(5, 0, 2, 3, 0)}}, volume, {240, 384}, 0, S,
         secondInstrument},
        {"with octave 0 the note byte is ignored, even a key-off value",
         {NOTE, {1, 0, note(0, 15, 0, 12, 20)}, {2, 0, note(0, 5, 0, 12, 30)}}, markers, {7, 7, 7}, 0, S, allMarkersOnOne},
        {"... and no note starts", {NOTE, {1, 0, note(0, 15, 0, 12, 20)}, {2, 0, note(0, 5, 0, 12, 30)}}, source, {0, 50, 50}, 0, S},
        {"a note above the ceiling is clamped by the next tick's slides", {{0, 0, note(9, 5)}}, pitch, {pitchOf(9, 5), 864 * S}},
        {"a default volume above 64 comes into range with the next tick's slides", {NOTE}, volume, {100 * S, 64 * S}, 0, 1, outOfRange},
        {"an instrument beyond the module's leaves the track silent", {{0, 0, note(4, 0, 9)}}, sounding, {0}},
        {"... but stores the pitch", {{0, 0, note(4, 0, 9)}}, pitch, {pitchOf(4, 0)}},
        {"key-off without a volume envelope silences at once", {NOTE, {1, 0, note(4, 12, 0)}}, sounding, {1, 0}, 0, S},
        {"... and stops the panning envelope", {NOTE, {1, 0, note(4, 12, 0)}},
         [](Player &p) { return int(p.track(0).panningEnvelopeState.envelope); }, {0, INDEX_NONE}, 0, S, panningEnvelope},
        {"key-off with an instrument builds a new voice and leaves it unstarted", {NOTE, {1, 0, note(4, 12, 1)}}, source, {0, 0}, 0, S},
        {"... silent", {NOTE, {1, 0, note(4, 12, 1)}}, sounding, {1, 0}, 0, S},
        {"key-offs on a point holding all markers release loop end, then sustain A, then sustain B",
         {NOTE, {1, 0, note(4, 12, 0)}, {2, 0, note(4, 12, 0)}, {3, 0, note(4, 12, 0)}}, markers, {7, 3, 1, 0}, 0, S, allMarkersOnOne},
        {"a key-off releases the earliest marker first (sustain A on 1, B on 2, loop end on 3)", {NOTE, {1, 0, note(4, 12, 0)}}, markers,
         {7, 5}, 0, S, markersOnOneTwoThree},
        {"an envelope holds at its second sustain point until released", {NOTE, {2, 0, note(4, 12, 0)}},
         [](Player &p) { return int(p.track(0).volumeEnvelopeValue); }, {16384, 12288, 12288, 6144}, 0, S,
         [](ModuleSpec &desc) { volumeEnvelope(desc, 0xFF, 0xFF, 1); }},
    });
}

// Effect 31: 0x00/0x01 add/remove this track's global echo, 0x10/0x11 every
// track's, 0x20/0x21 this track's track-mode echo; adding over an echo of
// either mode adds nothing and removing takes only its own mode.
TEST_F(EngineTest, EchoSwitch)
{
    expectRules({
        {"0x00 adds a global echo to this track", {{1, 3, effects(31, 0x00)}}, echoModes, {1121}, S, 1, echoes},
        {"0x10 adds global echoes where there is none", {{1, 0, effects(31, 0x10)}}, echoModes, {1121}, S, 1, echoes},
        {"0x20 adds a track-mode echo", {{1, 3, effects(31, 0x20)}}, echoModes, {1122}, S, 1, echoes},
        {"0x00 over a track-mode echo adds nothing", {{1, 2, effects(31, 0x00)}}, echoModes, {1120}, S, 1, echoes},
        {"0x20 over a global echo adds nothing", {{1, 0, effects(31, 0x20)}}, echoModes, {1120}, S, 1, echoes},
        {"0x01 removes this track's global echo", {{1, 0, effects(31, 0x01)}}, echoModes, {120}, S, 1, echoes},
        {"0x01 leaves a track-mode echo", {{1, 2, effects(31, 0x01)}}, echoModes, {1120}, S, 1, echoes},
        {"0x11 removes every global echo only", {{1, 3, effects(31, 0x11)}}, echoModes, {20}, S, 1, echoes},
        {"0x21 removes this track's track-mode echo", {{1, 2, effects(31, 0x21)}}, echoModes, {1100}, S, 1, echoes},
        {"0x21 leaves a global echo", {{1, 0, effects(31, 0x21)}}, echoModes, {1120}, S, 1, echoes},
        {"0x02 does nothing", {{1, 3, effects(31, 0x02)}}, echoModes, {1120}, S, 1, echoes},
    });
}

// The volume-slide parameter of effects 5, 6 and 10: x up, y down, x speed
// per tick; xF and Fy per row (fine), y = 15 tested before x = 15.
TEST(VolumeSlideParameter, UpDownAndFineForms)
{
    const int cases[][2] = {{0x00, 0}, {0x03, -3 * S}, {0x0F, -15 * S}, {0x40, 4 * S}, {0xF0, 15 * S},
                            {0x4F, 4}, {0xF3, -3},     {0xFE, -14},     {0xFF, 15},    {0x34, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(volumeSlideChange(uint8_t(c[0]), S), c[1]) << std::hex << c[0];
}

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
