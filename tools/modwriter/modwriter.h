// Writes DBM0 modules described in code: valid files for tests, the demo,
// fuzzing seeds and benchmarks, and, through the chunk-level functions,
// the damaged variants the reader must refuse.
//
// Every multi-byte value is written big-endian. Nothing is checked: a description
// with out-of-range values is written as given, which is how tests make bad
// files. Counts in INFO come from the sizes of the vectors.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace modwriter {

// One pattern cell as the engine sees it; all zero is an empty cell.
struct Cell {
    uint8_t note = 0, octave = 0, instrument = 0, effect1 = 0, param1 = 0, effect2 = 0, param2 = 0;
};

struct PatternSpec {
    uint16_t rows = 64;
    std::vector<Cell> cells; // rows x tracks, row-major; missing cells are empty
    // Non-empty: written as the packed rows instead of packing `cells`.
    std::vector<uint8_t> packed;
    // Cell of (row, track), growing `cells` as needed.
    Cell &at(unsigned row, unsigned track, unsigned tracks);
};

struct InstrumentSpec {
    std::string name;
    uint16_t sample = 1; // 1-based sample number as stored
    uint16_t volume = 64;
    uint32_t baseRate = 8363;
    uint32_t loopStart = 0, loopLength = 0;
    int16_t panning = 0;
    uint16_t flags = 0; // bits 0-1: loop mode
};

struct SampleSpec {
    unsigned width = 16;         // 8, 16 or 32
    std::vector<int32_t> frames; // stored values in that width (low bits written)
    uint32_t flagsOverride = 0;  // non-zero: written as the flags word instead of the width
    bool overrideLength = false; // true: `declaredLength` is written as the length
    uint32_t declaredLength = 0;
};

struct SongSpec {
    std::string name;
    std::vector<uint16_t> orders;
};

struct EnvelopeSpec {
    uint16_t instrument = 1;
    uint8_t flags = 1; // bit 0 enabled, 1 sustain A, 2 loop, 3 sustain B
    uint8_t lastPoint = 0, sustainA = 0, loopStart = 0, loopEnd = 0, sustainB = 0;
    std::vector<std::pair<uint16_t, int16_t>> points; // position, value; up to 32
};

struct ModuleSpec {
    std::string name;
    uint8_t version = 3;
    uint8_t revision = 0x00;
    uint16_t tracks = 4;
    std::vector<InstrumentSpec> instruments;
    std::vector<SampleSpec> samples;
    std::vector<SongSpec> songs;
    std::vector<PatternSpec> patterns;
    std::vector<EnvelopeSpec> volumeEnvelopes, panningEnvelopes; // VENV/PENV written when non-empty
    bool dspe = false;
    std::vector<uint8_t> echoTrackBytes; // per track, 0 = echo on; missing bytes are 1
    uint16_t echoDelay = 64, echoFeedback = 128, echoMix = 128, echoCross = 255;
};

// A small valid module: one instrument "Instrument" (sample 1, forward loop
// over the whole sample), one 32-frame 16-bit sample, one song "Song" with
// the order list {0}, one pattern of 64 rows whose only cell is row 0,
// track 0: octave 4, note 0, instrument 1. Named "Minimal".
ModuleSpec minimalModule(uint16_t tracks = 4);

// A valid DBM0 file (patterns packed compactly).
std::vector<uint8_t> write(const ModuleSpec &desc);

// Chunk-level access for damaged variants.
struct Chunk {
    std::string id;              // the first four characters are written, padded with zeros
    std::vector<uint8_t> body;
    bool overrideLength = false; // true: `declaredLength` is written as the body length
    uint32_t declaredLength = 0;
};

// NAME, INFO, SONG, INST, VENV, PENV, PATT, SMPL, DSPE, in that order (those present).
std::vector<Chunk> chunks(const ModuleSpec &desc);
// The header (magic, version, revision, two zero bytes) followed by the chunks.
std::vector<uint8_t> assemble(const std::vector<Chunk> &chunks, uint8_t version = 3,
                              uint8_t revision = 0, const char *magic = "DBM0");
// The first chunk with this id, or null.
Chunk *findChunk(std::vector<Chunk> &chunks, const std::string &id);

// Body builders, one per chunk kind.
std::vector<uint8_t> nameBody(const std::string &name);
std::vector<uint8_t> infoBody(uint16_t instruments, uint16_t samples, uint16_t songs,
                              uint16_t patterns, uint16_t tracks);
std::vector<uint8_t> songBody(const std::vector<SongSpec> &songs);
std::vector<uint8_t> instrumentBody(const std::vector<InstrumentSpec> &instruments);
std::vector<uint8_t> envelopeBody(const std::vector<EnvelopeSpec> &envelopes);
std::vector<uint8_t> patternBody(const std::vector<PatternSpec> &patterns, uint16_t tracks);
std::vector<uint8_t> sampleBody(const std::vector<SampleSpec> &samples);
std::vector<uint8_t> dspeBody(const ModuleSpec &desc);

// One 136-byte envelope record.
std::vector<uint8_t> envelopeRecord(const EnvelopeSpec &envelope);
// The packed rows of a pattern: per row, the non-empty cells as track byte,
// mask and data bytes, then a row end; trailing row ends are dropped, but at
// least one byte is written.
std::vector<uint8_t> packRows(const PatternSpec &pattern, uint16_t tracks);

// Big-endian appends.
void putU8(std::vector<uint8_t> &out, uint8_t value);
void putU16(std::vector<uint8_t> &out, uint16_t value);
void putU32(std::vector<uint8_t> &out, uint32_t value);
// A fixed-width text field: the text cut to `width`, padded with zeros.
void putText(std::vector<uint8_t> &out, const std::string &text, size_t width);

} // namespace modwriter
