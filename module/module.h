// One DBM0 song held in memory: what the reader takes from the file, in the
// form the engine and the nodes play from.
//
// Every block comes zero-filled from the host's allocate service, so fields
// the reader has not set are zero or null. Only the reader writes a Module;
// the engine reads it and must be destroyed before it.
#pragma once

#include <cstdint>

namespace dbm {

// "There is none" in every 16-bit index field (envelope index, envelope
// point, envelope owner).
constexpr uint16_t INDEX_NONE = 0xFFFF;

constexpr uint16_t INSTRUMENT_TYPE_SAMPLE = 1;

enum LoopMode : uint16_t { LOOP_NONE = 0, LOOP_FORWARD = 1, LOOP_PINGPONG = 2 };
constexpr uint16_t INSTRUMENT_LOOP_MASK = 3;

constexpr uint32_t TRACK_FLAG_ECHO = 1;

constexpr unsigned ENVELOPE_POINTS = 32;

struct Instrument {
    char *name;              // at most 30 characters, owned
    uint16_t volume;         // default volume, unchecked
    int16_t panning;         // default panning, unchecked
    uint16_t type;           // INSTRUMENT_TYPE_SAMPLE
    uint16_t volumeEnvelope; // index into volumeEnvelopes, or INDEX_NONE
    uint16_t panningEnvelope;
    uint32_t baseRate;       // Hz at pitch 384, 2000..192000
    uint16_t sample;         // 0-based index into samples
    uint32_t loopStart;      // frames
    uint32_t loopLength;     // frames
    uint16_t flags;          // bits 0-1: LoopMode
};

struct Sample {
    uint32_t length; // frames, below 2^31
    int16_t *data;   // length mono frames in host order, owned; null when length is 0
};

struct Song {
    char *name;          // at most 44 characters, owned
    uint16_t orderCount; // the reader refuses song 0 with no orders
    uint16_t *orders;    // pattern indices, each below patternCount; null when orderCount is 0
};

// One cell of a pattern; 8 bytes in this fixed order.
struct PatternEntry {
    uint8_t note;       // semitone 0..11; above 11 a key-off
    uint8_t octave;     // 0: no note
    uint8_t instrument; // 1-based, 0: none
    uint8_t effect1;
    uint8_t param1;
    uint8_t effect2;
    uint8_t param2;
    uint8_t unused;
};
static_assert(sizeof(PatternEntry) == 8, "pattern entries are 8 bytes");

struct Pattern {
    uint16_t rows;          // 1..65535
    PatternEntry *entries;  // rows x trackCount, row-major, owned
};

struct EnvelopePoint {
    uint16_t position; // tick, 0..2048
    int16_t value;     // volume 0..64, panning -128..128
};

struct Envelope {
    uint16_t instrument; // 1-based owner, or INDEX_NONE
    uint16_t lastPoint;  // 0..31
    uint16_t loopStart;  // or INDEX_NONE
    uint16_t loopEnd;    // or INDEX_NONE; loopStart < loopEnd <= lastPoint
    uint16_t sustainA;   // or INDEX_NONE
    uint16_t sustainB;   // or INDEX_NONE; sustainA <= sustainB when both set
    EnvelopePoint points[ENVELOPE_POINTS];
};

struct Module {
    char *name; // at most 44 characters, owned; null without a NAME chunk
    uint16_t version;
    uint16_t revision;
    uint16_t instrumentCount;
    uint16_t sampleCount;
    uint16_t songCount;
    uint16_t patternCount;
    uint16_t trackCount;
    uint16_t volumeEnvelopeCount;
    uint16_t panningEnvelopeCount;
    Instrument **instruments; // slot i: instrument number i + 1
    Sample **samples;
    Song **songs;
    Pattern **patterns;
    Envelope *volumeEnvelopes;  // by value; null when the count is 0
    Envelope *panningEnvelopes;
    uint32_t *trackFlags;       // TRACK_FLAG_ECHO per track
    uint8_t echoDelay;
    uint8_t echoFeedback;
    uint8_t echoMix;
    uint8_t echoCross;
};

// Frees the module and everything it owns, in any state of construction;
// null is accepted. Arrays that are missing are skipped whatever their count.
void freeModule(Module *module);

} // namespace dbm
