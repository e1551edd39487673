#include "tools/demo/demo_song.h"

#include "tools/demo/waveforms.h"

#include <cstdint>
#include <vector>

namespace demo {
namespace {

using modwriter::Cell;
using modwriter::EnvelopeSpec;
using modwriter::InstrumentSpec;
using modwriter::ModuleSpec;
using modwriter::PatternSpec;
using modwriter::SampleSpec;

constexpr unsigned TRACKS = 10;
constexpr unsigned BAR = 16; // rows per bar: one row is a sixteenth note

// Tracks.
enum Track : unsigned { KICK, SNARE, HAT, BASS, PAD1, PAD2, PAD3, LEAD, ARP, BELL };

// Instruments, 1-based as the patterns name them.
enum Instrument : uint8_t {
    I_KICK = 1, I_SNARE, I_HAT, I_BASS, I_PAD, I_LEAD, I_BELL, I_ARP
};

// Effect commands.
enum Effect : uint8_t {
    ARPEGGIO = 0, SLIDE_UP = 1, SLIDE_DOWN = 2, PORTAMENTO = 3, VIBRATO = 4,
    SET_PANNING = 8, VOLUME_SLIDE = 10, SET_VOLUME = 12, EXTENDED = 14,
    SPEED_TEMPO = 15, PAN_SLIDE = 25, ECHO_SWITCH = 31, ECHO_DELAY = 32,
    ECHO_FEEDBACK = 33
};
constexpr uint8_t RETRIGGER = 0x90, NOTE_CUT = 0xC0, NOTE_DELAY = 0xD0;
constexpr uint8_t ECHO_TRACK_ON = 0x20, ECHO_TRACK_OFF = 0x21;

// A pitch: octave and semitone (C = 0 .. B = 11).
struct Pitch {
    uint8_t octave, note;
};
enum Semitone : uint8_t { C = 0, D = 2, E = 4, F = 5, G = 7, A = 9, B = 11 };
constexpr Pitch KEY_OFF{1, 15};

// One bar of the progression Am F C G.
struct Chord {
    Pitch bass;
    Pitch pad[3];
    Pitch arp;
    uint8_t arpeggio; // semitones above the arp note: third, fifth
};
const Chord PROGRESSION[4] = {
    {{2, A}, {{3, A}, {4, C}, {4, E}}, {4, A}, 0x37},
    {{2, F}, {{3, A}, {4, C}, {4, F}}, {4, F}, 0x47},
    {{3, C}, {{3, G}, {4, C}, {4, E}}, {5, C}, 0x47},
    {{2, G}, {{3, G}, {3, B}, {4, D}}, {4, G}, 0x47},
};

Pitch up(Pitch p, int semitones)
{
    int value = p.octave * 12 + p.note + semitones;
    return Pitch{uint8_t(value / 12), uint8_t(value % 12)};
}

class Score {
public:
    explicit Score(PatternSpec &pattern) : pattern_(pattern) {}

    Cell &at(unsigned row, unsigned track) { return pattern_.at(row, track, TRACKS); }

    Cell &note(unsigned row, unsigned track, Pitch pitch, uint8_t instrument = 0)
    {
        Cell &cell = at(row, track);
        cell.octave = pitch.octave;
        cell.note = pitch.note;
        cell.instrument = instrument;
        return cell;
    }

    // Sets the first free effect column of the cell.
    Cell &effect(unsigned row, unsigned track, uint8_t command, uint8_t parameter)
    {
        Cell &cell = at(row, track);
        if (cell.effect1 == 0 && cell.param1 == 0) {
            cell.effect1 = command;
            cell.param1 = parameter;
        } else {
            cell.effect2 = command;
            cell.param2 = parameter;
        }
        return cell;
    }

private:
    PatternSpec &pattern_;
};

// How a melody note is played until the next one.
enum class Style { Plain, Vibrato, Glide, Fall };
struct MelodyNote {
    unsigned row;
    Pitch pitch;
    Style style;
};

// Writes a melody: vibrato on the held rows after the attack, portamento
// into glided notes (continued from memory until the next note), a falling
// pitch slide, or the plain note.
void melody(Score &score, unsigned track, uint8_t instrument, const std::vector<MelodyNote> &notes,
            unsigned end)
{
    for (size_t i = 0; i < notes.size(); ++i) {
        const MelodyNote &n = notes[i];
        unsigned until = i + 1 < notes.size() ? notes[i + 1].row : end;
        switch (n.style) {
        case Style::Plain:
        case Style::Vibrato:
            score.note(n.row, track, n.pitch, i == 0 ? instrument : 0);
            break;
        case Style::Glide:
            score.note(n.row, track, n.pitch);
            score.effect(n.row, track, PORTAMENTO, 6);
            for (unsigned r = n.row + 1; r < until; ++r)
                score.effect(r, track, PORTAMENTO, 0);
            break;
        case Style::Fall:
            score.note(n.row, track, n.pitch);
            for (unsigned r = n.row + 2; r < until; ++r)
                score.effect(r, track, SLIDE_DOWN, 1);
            break;
        }
        if (n.style == Style::Vibrato)
            for (unsigned r = n.row + 2; r < until; ++r)
                score.effect(r, track, VIBRATO, r == n.row + 2 ? 0x63 : 0);
    }
}

void drums(Score &score, bool fill)
{
    for (unsigned bar = 0; bar < 4; ++bar) {
        unsigned r = bar * BAR;
        score.note(r, KICK, {4, C}, I_KICK);
        score.note(r + 8, KICK, {4, C}, I_KICK);
        if (bar % 2 == 1)
            score.note(r + 10, KICK, {4, C}, I_KICK);
        score.note(r + 4, SNARE, {4, C}, I_SNARE);
        score.note(r + 12, SNARE, {4, C}, I_SNARE);
        for (unsigned h = 0; h < BAR; h += 2) {
            score.note(r + h, HAT, {4, C}, I_HAT);
            if (h % 4 == 2)
                score.effect(r + h, HAT, EXTENDED, NOTE_DELAY | 1); // a little swing
            else
                score.effect(r + h, HAT, SET_VOLUME, 20);
        }
        if (bar == 1)
            score.effect(r + 14, HAT, EXTENDED, RETRIGGER | 3); // a roll of 32nds
    }
    if (fill) { // snare roll rising into the next section
        for (unsigned r = 56; r < 64; r += 2) {
            score.note(r, SNARE, {4, C}, I_SNARE);
            score.effect(r, SNARE, EXTENDED, RETRIGGER | (r < 60 ? 3 : 2));
            score.effect(r, SNARE, SET_VOLUME, uint8_t(24 + (r - 56) * 5));
        }
    }
}

void bass(Score &score, bool drop)
{
    static const unsigned rows[] = {0, 3, 6, 8, 11, 12, 14};
    static const int offsets[] = {0, 0, 12, 0, 0, 7, 12};
    for (unsigned bar = 0; bar < 4; ++bar) {
        const Chord &chord = PROGRESSION[bar];
        for (unsigned i = 0; i < 7; ++i) {
            unsigned r = bar * BAR + rows[i];
            score.note(r, BASS, up(chord.bass, offsets[i]), I_BASS);
            if (rows[i] == 3 || rows[i] == 11)
                score.effect(r, BASS, EXTENDED, NOTE_CUT | 4); // staccato
        }
    }
    if (drop) {
        score.effect(62, BASS, SLIDE_DOWN, 6);
        score.effect(63, BASS, SLIDE_DOWN, 6);
    }
}

void pads(Score &score, bool fadeIn)
{
    static const unsigned tracks[] = {PAD1, PAD2, PAD3};
    static const uint8_t panning[] = {0x50, 0x80, 0xB0}; // left, centre, right
    for (unsigned bar = 0; bar < 4; ++bar)
        for (unsigned v = 0; v < 3; ++v) {
            unsigned r = bar * BAR;
            score.note(r, tracks[v], PROGRESSION[bar].pad[v], I_PAD);
            score.effect(r, tracks[v], SET_PANNING, panning[v]);
            if (fadeIn && bar == 0) {
                score.effect(r, tracks[v], SET_VOLUME, 4);
                for (unsigned f = 1; f < BAR; ++f)
                    score.effect(r + f, tracks[v], VOLUME_SLIDE, 0x1F); // up one per row
            }
        }
}

void arpeggios(Score &score, unsigned firstBar)
{
    static const uint8_t sweep[] = {0x10, 0x01, 0x01, 0x10}; // right, back, left, back
    for (unsigned bar = firstBar; bar < 4; ++bar) {
        const Chord &chord = PROGRESSION[bar];
        for (unsigned r = 0; r < BAR; ++r) {
            unsigned row = bar * BAR + r;
            if (r % 4 == 0)
                score.note(row, ARP, r % 8 == 0 ? chord.arp : up(chord.arp, 12),
                           bar == firstBar && r == 0 ? I_ARP : 0);
            score.effect(row, ARP, ARPEGGIO, chord.arpeggio);
            score.effect(row, ARP, PAN_SLIDE, sweep[bar]);
        }
    }
}

PatternSpec intro()
{
    PatternSpec p;
    Score s(p);
    s.effect(0, KICK, SPEED_TEMPO, 6);
    s.effect(0, KICK, SPEED_TEMPO, 125);
    pads(s, true);
    arpeggios(s, 1);
    for (unsigned r = 32; r < 64; r += 2) { // hats creeping in
        s.note(r, HAT, {4, C}, I_HAT);
        s.effect(r, HAT, SET_VOLUME, uint8_t(8 + (r - 32) / 2));
    }
    s.note(48, KICK, {4, C}, I_KICK);
    s.note(56, KICK, {4, C}, I_KICK);
    for (unsigned r = 56; r < 64; r += 2) {
        s.note(r, SNARE, {4, C}, I_SNARE);
        s.effect(r, SNARE, EXTENDED, RETRIGGER | 3);
        s.effect(r, SNARE, SET_VOLUME, uint8_t(16 + (r - 56) * 4));
    }
    return p;
}

PatternSpec groove()
{
    PatternSpec p;
    Score s(p);
    drums(s, true);
    bass(s, true);
    pads(s, false);
    arpeggios(s, 0);
    return p;
}

const std::vector<MelodyNote> MELODY_A = {
    {0, {4, A}, Style::Plain},    {2, {5, C}, Style::Plain},   {4, {5, E}, Style::Vibrato},
    {10, {5, D}, Style::Plain},   {12, {5, C}, Style::Plain},  {14, {5, D}, Style::Glide},
    {16, {5, C}, Style::Vibrato}, {22, {4, A}, Style::Plain},  {24, {5, C}, Style::Plain},
    {26, {5, F}, Style::Glide},   {28, {5, E}, Style::Plain},  {30, {5, C}, Style::Plain},
    {32, {5, E}, Style::Vibrato}, {38, {5, G}, Style::Glide},  {40, {5, E}, Style::Plain},
    {44, {5, D}, Style::Plain},   {46, {5, C}, Style::Plain},  {48, {5, D}, Style::Vibrato},
    {54, {4, B}, Style::Plain},   {56, {5, D}, Style::Plain},  {58, {5, G}, Style::Fall},
};

const std::vector<MelodyNote> MELODY_B = {
    {0, {5, A}, Style::Vibrato},  {6, {5, G}, Style::Plain},   {8, {5, E}, Style::Plain},
    {10, {5, G}, Style::Glide},   {12, {5, A}, Style::Vibrato}, {16, {5, A}, Style::Plain},
    {18, {6, C}, Style::Glide},   {22, {5, A}, Style::Plain},  {24, {5, F}, Style::Vibrato},
    {32, {5, G}, Style::Plain},   {34, {5, E}, Style::Plain},  {36, {5, C}, Style::Plain},
    {38, {5, E}, Style::Plain},   {40, {5, G}, Style::Vibrato}, {46, {5, E}, Style::Plain},
    {48, {5, D}, Style::Vibrato}, {52, {5, G}, Style::Plain},  {54, {5, B}, Style::Glide},
    {56, {6, D}, Style::Fall},
};

PatternSpec verse(const std::vector<MelodyNote> &tune, bool bells)
{
    PatternSpec p;
    Score s(p);
    drums(s, false);
    bass(s, false);
    pads(s, false);
    arpeggios(s, 0);
    melody(s, LEAD, I_LEAD, tune, 64);
    if (bells) {
        s.effect(0, KICK, SPEED_TEMPO, 140); // the chorus moves faster
        static const Pitch line[] = {{6, E}, {6, C}, {5, A}, {6, C}, {5, G}, {6, E}, {6, D}, {5, B}};
        for (unsigned i = 0; i < 8; ++i)
            s.note(i * 8, BELL, line[i], I_BELL);
        s.effect(0, BELL, ECHO_SWITCH, ECHO_TRACK_ON);
        s.effect(0, BELL, ECHO_DELAY, 90);
        s.effect(32, BELL, ECHO_FEEDBACK, 110);
    } else {
        s.effect(32, BELL, ECHO_SWITCH, ECHO_TRACK_OFF); // the bells' echo has died away
    }
    return p;
}

PatternSpec outro()
{
    PatternSpec p;
    p.rows = 24;
    Score s(p);
    s.effect(0, KICK, SPEED_TEMPO, 8); // slower to the end
    s.note(0, KICK, {4, C}, I_KICK);
    s.note(0, SNARE, {4, C}, I_SNARE);
    s.note(0, HAT, {4, C}, I_HAT);
    s.effect(0, HAT, EXTENDED, RETRIGGER | 4);
    s.note(0, BASS, PROGRESSION[0].bass, I_BASS);
    const unsigned pads[] = {PAD1, PAD2, PAD3};
    for (unsigned v = 0; v < 3; ++v) {
        s.note(0, pads[v], PROGRESSION[0].pad[v], I_PAD);
        s.note(16, pads[v], KEY_OFF);
    }
    for (unsigned r = 0; r < 16; ++r)
        s.effect(r, ARP, ARPEGGIO, 0x37);
    s.note(0, ARP, {4, A}, I_ARP);
    s.note(8, ARP, {5, A});
    melody(s, LEAD, I_LEAD,
           {{0, {5, A}, Style::Vibrato}, {8, {5, E}, Style::Glide}, {12, {5, A}, Style::Vibrato}},
           16);
    s.note(16, LEAD, KEY_OFF);
    s.note(0, BELL, {6, A}, I_BELL);
    // A last bell rings out through an echo of its own into the tail.
    s.note(16, BELL, {5, A}, I_BELL);
    s.effect(16, BELL, ECHO_SWITCH, ECHO_TRACK_ON);
    s.effect(16, BELL, ECHO_FEEDBACK, 150);
    s.effect(23, KICK, SPEED_TEMPO, 0); // stop
    return p;
}

InstrumentSpec instrument(const char *name, uint16_t sample, uint16_t volume, uint32_t rate,
                          int16_t panning)
{
    InstrumentSpec i;
    i.name = name;
    i.sample = sample;
    i.volume = volume;
    i.baseRate = rate;
    i.panning = panning;
    return i;
}

SampleSpec sample(std::vector<int32_t> frames)
{
    SampleSpec s;
    s.width = 16;
    s.frames = std::move(frames);
    return s;
}

EnvelopeSpec envelope(uint16_t instrument, uint8_t flags,
                      std::vector<std::pair<uint16_t, int16_t>> points)
{
    EnvelopeSpec e;
    e.instrument = instrument;
    e.flags = flags;
    e.lastPoint = uint8_t(points.size() - 1);
    e.points = std::move(points);
    return e;
}

constexpr uint8_t ENVELOPE_ON = 1, ENVELOPE_SUSTAIN = 2, ENVELOPE_LOOP = 4;

} // namespace

ModuleSpec demoSong()
{
    ModuleSpec m;
    m.name = "Night Drive (kvplay demo)";
    m.version = 3;
    m.revision = 0x00;
    m.tracks = TRACKS;

    const uint32_t drumRate = 22050;
    const uint32_t padFrames = 128 * CYCLE_FRAMES;
    const uint32_t leadFrames = 64 * CYCLE_FRAMES;
    m.samples = {sample(kick()),       sample(snare()),         sample(hiHat()),
                 sample(pluckedBass(24000)), sample(chorusPad(padFrames)),
                 sample(lead(leadFrames)), sample(bell(14000))};

    InstrumentSpec pad = instrument("Chorus pad", 5, 22, CYCLE_BASE_RATE, 0);
    pad.loopStart = 0;
    pad.loopLength = padFrames;
    pad.flags = 1; // forward loop over the whole sample
    InstrumentSpec leadVoice = instrument("Lead", 6, 40, CYCLE_BASE_RATE, 0);
    leadVoice.loopStart = 16 * CYCLE_FRAMES;
    leadVoice.loopLength = leadFrames - leadVoice.loopStart;
    leadVoice.flags = 2; // ping-pong: the brightness swells back and forth
    InstrumentSpec arp = instrument("Arp pluck", 6, 26, CYCLE_BASE_RATE, 0);
    arp.loopStart = 48 * CYCLE_FRAMES;
    arp.loopLength = 16 * CYCLE_FRAMES;
    arp.flags = 1;
    m.instruments = {instrument("Kick", 1, 48, drumRate, 0),
                     instrument("Snare", 2, 40, drumRate, 12),
                     instrument("Hi-hat", 3, 30, drumRate, 40),
                     instrument("Plucked bass", 4, 42, CYCLE_BASE_RATE, 0),
                     pad,
                     leadVoice,
                     instrument("Bell", 7, 30, CYCLE_BASE_RATE, -56),
                     arp};

    EnvelopeSpec padVolume =
        envelope(I_PAD, ENVELOPE_ON | ENVELOPE_SUSTAIN, {{0, 0}, {16, 52}, {40, 40}, {100, 0}});
    padVolume.sustainA = 2;
    EnvelopeSpec leadVolume =
        envelope(I_LEAD, ENVELOPE_ON | ENVELOPE_SUSTAIN, {{0, 64}, {10, 48}, {40, 0}});
    leadVolume.sustainA = 1;
    EnvelopeSpec arpVolume = envelope(I_ARP, ENVELOPE_ON, {{0, 64}, {4, 40}, {24, 12}, {60, 0}});
    m.volumeEnvelopes = {padVolume, leadVolume, arpVolume};

    EnvelopeSpec padPanning =
        envelope(I_PAD, ENVELOPE_ON | ENVELOPE_LOOP, {{0, -40}, {96, 40}, {192, -40}});
    padPanning.loopStart = 0;
    padPanning.loopEnd = 2;
    EnvelopeSpec leadPanning = envelope(I_LEAD, ENVELOPE_ON | ENVELOPE_LOOP,
                                        {{0, 0}, {24, 24}, {48, 0}, {72, -24}, {96, 0}});
    leadPanning.loopStart = 0;
    leadPanning.loopEnd = 4;
    m.panningEnvelopes = {padPanning, leadPanning};

    m.patterns = {intro(), groove(), verse(MELODY_A, false), verse(MELODY_B, true), outro()};
    m.songs = {{"Night Drive", {0, 1, 2, 3, 2, 4}}};

    // Echo on the lead and the arpeggio (0 switches a track's echo on); the
    // bell switches its own on and off with the echo commands.
    m.dspe = true;
    m.echoTrackBytes.assign(TRACKS, 1);
    m.echoTrackBytes[LEAD] = 0;
    m.echoTrackBytes[ARP] = 0;
    m.echoDelay = 120; // 240 ms: an eighth note at tempo 125
    m.echoFeedback = 90;
    m.echoMix = 80;
    m.echoCross = 200;
    return m;
}

} // namespace demo
