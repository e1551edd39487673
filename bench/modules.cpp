#include "bench/modules.h"

#include "tools/demo/demo_song.h"

namespace benchmodules {

namespace {

using modwriter::Cell;
using modwriter::EnvelopeSpec;
using modwriter::InstrumentSpec;
using modwriter::ModuleSpec;
using modwriter::PatternSpec;
using modwriter::SampleSpec;

enum Effect : uint8_t {
    ARPEGGIO = 0, SLIDE_UP = 1, SLIDE_DOWN = 2, PORTAMENTO = 3, VIBRATO = 4,
    SET_PANNING = 8, SAMPLE_OFFSET = 9, VOLUME_SLIDE = 10, SET_VOLUME = 12, EXTENDED = 14,
    PAN_SLIDE = 25, ECHO_DELAY = 32, ECHO_FEEDBACK = 33, ECHO_MIX = 34, ECHO_CROSS = 35
};
constexpr uint8_t PLAY_BACKWARDS = 0x30;
constexpr unsigned ROWS = 64;
constexpr unsigned PATTERNS = 4;
constexpr unsigned ORDERS = 12;

// Deterministic pseudo-random numbers (xorshift32).
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed ? seed : 1) {}
    uint32_t next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    uint32_t below(uint32_t n) { return next() % n; }

private:
    uint32_t state_;
};

// A triangle of the given period and peak, at frame n.
int32_t triangle(uint32_t n, uint32_t period, int32_t peak)
{
    const uint32_t phase = n % period;
    const int64_t half = period / 2;
    const int64_t up = phase < half ? int64_t(phase) : int64_t(period - phase);
    return int32_t((up * 4 * peak) / period - peak);
}

// A sawtooth of the given period and peak, at frame n.
int32_t saw(uint32_t n, uint32_t period, int32_t peak)
{
    return int32_t(int64_t(n % period) * 2 * peak / period - peak);
}

SampleSpec sampleOf(unsigned width, std::vector<int32_t> frames)
{
    SampleSpec sample;
    sample.width = width;
    sample.frames = std::move(frames);
    return sample;
}

// Six samples in all three stored widths; values are given in the stored
// width (8-bit: -128..127, 16-bit, 32-bit).
std::vector<SampleSpec> denseSamples()
{
    std::vector<SampleSpec> samples;
    std::vector<int32_t> frames;

    for (uint32_t n = 0; n < 4096; ++n) // bright saw with a triangle under it
        frames.push_back(saw(n, 64, 14000) + triangle(n, 256, 6000));
    samples.push_back(sampleOf(16, frames));

    frames.clear();
    for (uint32_t n = 0; n < 3000; ++n) // pulse with a decaying edge
        frames.push_back((n % 100 < 30 ? 20000 : -12000) * int32_t(3000 - n / 2) / 3000);
    samples.push_back(sampleOf(16, frames));

    frames.clear();
    for (uint32_t n = 0; n < 6000; ++n) // 8-bit triangle with harmonics
        frames.push_back((triangle(n, 120, 80) + triangle(n, 40, 30)) & 0xFF);
    for (int32_t &v : frames)
        v = int8_t(uint8_t(v));
    samples.push_back(sampleOf(8, frames));

    frames.clear();
    for (uint32_t n = 0; n < 2048; ++n) // 32-bit values: only the upper half is kept
        frames.push_back(int32_t(uint32_t(triangle(n, 128, 30000)) << 16) | int32_t(n * 37 & 0xFFFF));
    samples.push_back(sampleOf(32, frames));

    frames.clear();
    Random noise(0x9E3779B9u);
    int32_t level = 0;
    for (uint32_t n = 0; n < 20000; ++n) { // filtered noise, for sample offsets
        level += (int32_t(noise.below(16001)) - 8000 - level) / 4;
        frames.push_back(level + saw(n, 200, 6000));
    }
    samples.push_back(sampleOf(16, frames));

    frames.clear();
    for (uint32_t n = 0; n < 400; ++n) // short single-cycle loop material
        frames.push_back(triangle(n, 50, 24000) + saw(n, 25, 4000));
    samples.push_back(sampleOf(16, frames));
    return samples;
}

InstrumentSpec instrumentOf(const char *name, uint16_t sample, uint16_t volume, uint32_t baseRate,
                            uint32_t loopStart, uint32_t loopLength, uint16_t loopMode,
                            int16_t panning)
{
    InstrumentSpec instrument;
    instrument.name = name;
    instrument.sample = sample;
    instrument.volume = volume;
    instrument.baseRate = baseRate;
    instrument.loopStart = loopStart;
    instrument.loopLength = loopLength;
    instrument.flags = loopMode;
    instrument.panning = panning;
    return instrument;
}

std::vector<InstrumentSpec> denseInstruments()
{
    return {
        instrumentOf("Saw", 1, 40, 8363, 0, 4096, 1, 0),
        instrumentOf("Pulse", 2, 36, 16726, 1000, 2000, 2, -30),
        instrumentOf("Triangle", 3, 44, 22050, 2000, 4000, 3, 30),
        instrumentOf("Wide", 4, 38, 44100, 512, 1536, 1, -60),
        instrumentOf("Noise", 5, 30, 11025, 10000, 10000, 1, 60),
        instrumentOf("Cycle", 6, 42, 32000, 100, 150, 2, 0),
    };
}

EnvelopeSpec envelopeOf(uint16_t instrument, uint8_t flags,
                        std::vector<std::pair<uint16_t, int16_t>> points, uint8_t loopStart,
                        uint8_t loopEnd, uint8_t sustain)
{
    EnvelopeSpec envelope;
    envelope.instrument = instrument;
    envelope.flags = flags;
    envelope.lastPoint = uint8_t(points.size() - 1);
    envelope.points = std::move(points);
    envelope.loopStart = loopStart;
    envelope.loopEnd = loopEnd;
    envelope.sustainA = sustain;
    return envelope;
}

constexpr uint8_t ENVELOPE_ON = 1, ENVELOPE_SUSTAIN = 2, ENVELOPE_LOOP = 4;

// Panning of a track across the stereo field, as an effect 8 parameter.
uint8_t spread(unsigned track, unsigned tracks)
{
    return tracks > 1 ? uint8_t(16 + track * 224 / (tracks - 1)) : 128;
}

PatternSpec densePattern(unsigned index, uint16_t tracks, bool echo)
{
    PatternSpec pattern;
    pattern.rows = ROWS;
    Random random(0x1234567u + index * 7919u);
    for (unsigned track = 0; track < tracks; ++track) {
        for (unsigned row = 0; row < ROWS; ++row) {
            Cell &cell = pattern.at(row, track, tracks);
            const unsigned beat = (row + track) % 4;
            if (beat == 0) {
                const unsigned instrument = (track + index + row / 4) % 6 + 1;
                cell.instrument = uint8_t(instrument);
                cell.octave = uint8_t(2 + random.below(5));
                cell.note = uint8_t(random.below(12));
                switch (random.below(8)) {
                case 0:
                    cell.effect1 = SAMPLE_OFFSET;
                    cell.param1 = uint8_t(1 + random.below(40));
                    break;
                case 1:
                    cell.effect1 = EXTENDED;
                    cell.param1 = PLAY_BACKWARDS;
                    break;
                case 2:
                    cell.effect1 = SET_VOLUME;
                    cell.param1 = uint8_t(24 + random.below(40));
                    break;
                default:
                    cell.effect1 = SET_PANNING;
                    cell.param1 = spread(track, tracks);
                    break;
                }
                if (random.below(6) == 0) {
                    cell.effect2 = EXTENDED;
                    cell.param2 = PLAY_BACKWARDS;
                }
                continue;
            }
            switch ((row / 4 + track + index) % 8) {
            case 0:
                cell.effect1 = VIBRATO;
                cell.param1 = uint8_t(0x10 * (2 + random.below(6)) + 2 + random.below(6));
                break;
            case 1:
                cell.effect1 = ARPEGGIO;
                cell.param1 = random.below(2) ? 0x37 : 0x47;
                break;
            case 2:
                cell.effect1 = beat == 1 ? SLIDE_UP : SLIDE_DOWN;
                cell.param1 = uint8_t(1 + random.below(6));
                break;
            case 3:
                cell.effect1 = VOLUME_SLIDE;
                cell.param1 = beat == 3 ? 0x20 : 0x01;
                cell.effect2 = VIBRATO;
                cell.param2 = 0x34;
                break;
            case 4:
                cell.effect1 = PAN_SLIDE;
                cell.param1 = track % 2 ? 0x20 : 0x02;
                break;
            case 5:
                cell.effect1 = PORTAMENTO;
                cell.param1 = uint8_t(4 + random.below(12));
                break;
            case 6:
                cell.effect1 = ARPEGGIO;
                cell.param1 = 0x5C;
                cell.effect2 = SLIDE_UP;
                cell.param2 = 0xF2; // fine, per row
                break;
            default:
                cell.effect1 = VIBRATO;
                cell.param1 = 0; // from memory
                break;
            }
        }
    }
    if (echo) {
        // The echo commands on track 0 set every global echo, changing the
        // settings four times per pattern.
        const uint8_t delays[4] = {40, 110, 75, 180};
        for (unsigned quarter = 0; quarter < 4; ++quarter) {
            Cell &first = pattern.at(quarter * 16 + 2, 0, tracks);
            first.effect1 = ECHO_DELAY;
            first.param1 = delays[(quarter + index) % 4];
            first.effect2 = ECHO_FEEDBACK;
            first.param2 = uint8_t(60 + 40 * ((quarter + index) % 3));
            Cell &second = pattern.at(quarter * 16 + 3, 0, tracks);
            second.effect1 = ECHO_MIX;
            second.param1 = uint8_t(50 + 30 * ((quarter + 2 * index) % 4));
            second.effect2 = ECHO_CROSS;
            second.param2 = uint8_t(255 - 60 * quarter);
        }
    }
    return pattern;
}

} // namespace

ModuleSpec denseModule(uint16_t tracks, bool echo)
{
    ModuleSpec m;
    m.name = "Dense " + std::to_string(tracks) + (echo ? " with echo" : "");
    m.tracks = tracks;
    m.samples = denseSamples();
    m.instruments = denseInstruments();
    m.volumeEnvelopes = {
        envelopeOf(1, ENVELOPE_ON | ENVELOPE_LOOP, {{0, 64}, {12, 40}, {30, 56}, {50, 40}}, 1, 3, 0),
        envelopeOf(3, ENVELOPE_ON | ENVELOPE_SUSTAIN, {{0, 20}, {6, 64}, {20, 44}, {60, 30}}, 0, 0, 2),
        envelopeOf(5, ENVELOPE_ON | ENVELOPE_LOOP, {{0, 64}, {8, 20}, {16, 64}}, 0, 2, 0),
    };
    m.panningEnvelopes = {
        envelopeOf(2, ENVELOPE_ON | ENVELOPE_LOOP, {{0, -48}, {24, 48}, {48, -48}}, 0, 2, 0),
        envelopeOf(4, ENVELOPE_ON | ENVELOPE_LOOP, {{0, 32}, {10, -32}, {20, 32}}, 0, 2, 0),
    };
    for (unsigned p = 0; p < PATTERNS; ++p)
        m.patterns.push_back(densePattern(p, tracks, echo));
    std::vector<uint16_t> orders;
    for (unsigned i = 0; i < ORDERS; ++i)
        orders.push_back(uint16_t(i % PATTERNS));
    m.songs = {{"Dense", orders}};
    if (echo) {
        m.dspe = true;
        m.echoTrackBytes.assign(tracks, 0); // 0: echo on
        m.echoDelay = 90;
        m.echoFeedback = 100;
        m.echoMix = 90;
        m.echoCross = 160;
    }
    return m;
}

ModuleSpec demoModule()
{
    return demo::demoSong();
}

std::vector<NamedModule> renderModules()
{
    return {
        {"dense4", 4, modwriter::write(denseModule(4, false))},
        {"dense16", 16, modwriter::write(denseModule(16, false))},
        {"dense64", 64, modwriter::write(denseModule(64, false))},
        {"dense64echo", 64, modwriter::write(denseModule(64, true))},
        {"demo", 10, modwriter::write(demoModule())},
    };
}

std::vector<uint8_t> sampleLoadModule(unsigned width, uint32_t dataBytes)
{
    ModuleSpec desc = modwriter::minimalModule(4);
    std::vector<modwriter::Chunk> chunks = modwriter::chunks(desc);
    // The SMPL body written directly: one sample of dataBytes / (width / 8)
    // frames with a repeating ramp, so no frame list of that size is needed.
    const uint32_t bytesPerFrame = width / 8;
    const uint32_t frames = dataBytes / bytesPerFrame;
    std::vector<uint8_t> body;
    body.reserve(8 + size_t(frames) * bytesPerFrame);
    modwriter::putU32(body, bytesPerFrame);
    modwriter::putU32(body, frames);
    for (uint32_t n = 0; n < frames; ++n) {
        const uint32_t value = n * 2654435761u;
        for (uint32_t b = 0; b < bytesPerFrame; ++b)
            body.push_back(uint8_t(value >> (8 * b)));
    }
    modwriter::findChunk(chunks, "SMPL")->body = std::move(body);
    // The one instrument loops over the first 32 frames.
    return modwriter::assemble(chunks);
}

} // namespace benchmodules
