// The modules the tests and the fuzzing seeds share, written with our module
// writer, and the cell builders they are made of. Plain data: nothing here
// touches the host, and the same module comes out byte for byte everywhere.
#pragma once

#include "tools/modwriter/modwriter.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

using modwriter::Cell;
using modwriter::ModuleSpec;
using modwriter::PatternSpec;

constexpr uint8_t EFFECT_ARPEGGIO = 0;
constexpr uint8_t EFFECT_SAMPLE_OFFSET = 9;
constexpr uint8_t EFFECT_EXTENDED = 14;
constexpr uint8_t EFFECT_SPEED_TEMPO = 15;
constexpr uint8_t EFFECT_ECHO_SWITCH = 31;
constexpr unsigned EFFECT_COUNT = 36; // commands 0..35

// A note cell: octave and semitone (15 is key-off), instrument (0: none),
// then both effect columns.
inline Cell note(uint8_t octave, uint8_t semitone, uint8_t instrument = 1, uint8_t effect1 = 0,
                 uint8_t param1 = 0, uint8_t effect2 = 0, uint8_t param2 = 0)
{
    return Cell{semitone, octave, instrument, effect1, param1, effect2, param2};
}

// A cell of effects only.
inline Cell effects(uint8_t effect1, uint8_t param1, uint8_t effect2 = 0, uint8_t param2 = 0)
{
    return Cell{0, 0, 0, effect1, param1, effect2, param2};
}

// The cell of (row, track) in pattern `pattern` of `desc`, grown as needed.
inline Cell &cell(ModuleSpec &desc, unsigned row, unsigned track, unsigned pattern = 0)
{
    return desc.patterns.at(pattern).at(row, track, desc.tracks);
}

struct Put {
    unsigned row, track;
    Cell cell;
};

// A pattern of `rows` rows for `tracks` tracks holding `cells`.
inline PatternSpec pattern(uint16_t rows, uint16_t tracks, std::initializer_list<Put> cells = {})
{
    PatternSpec out;
    out.rows = rows;
    for (const Put &put : cells)
        out.at(put.row, put.track, tracks) = put.cell;
    return out;
}

// `frames` frames: the first half `high`, the rest `-high`.
inline std::vector<int32_t> squareWave(unsigned frames, int32_t high)
{
    std::vector<int32_t> out(frames);
    for (unsigned i = 0; i < frames; ++i)
        out[i] = i < frames / 2 ? high : -high;
    return out;
}

// Every chunk kind, every sample width, every loop mode, both envelope kinds
// (sustain, loop, second sustain), echo from the DSPE flags and from every
// echo command, many effects and key-off, voices rebuilt on many rows; two
// songs ({0, 1, 0} and {1}) on two patterns.
inline ModuleSpec busyModule()
{
    ModuleSpec d;
    d.name = "Busy";
    d.samples = {{8, squareWave(200, 100)}, {16, squareWave(600, 20000)},
                 {32, squareWave(300, 0x30000000)}, {16, squareWave(2, 9000)}};
    d.instruments = {{"Forward", 1, 64, 8363, 0, 200, 0, 1},    {"PingPong", 2, 48, 16726, 100, 400, -60, 2},
                     {"Once", 3, 40, 22050, 0, 0, 90, 0},       {"Enveloped", 2, 64, 8363, 0, 600, 0, 1},
                     {"Tiny", 4, 64, 44100, 0, 1, 0, 1}};
    d.volumeEnvelopes = {{4, 1 | 2 | 4, 3, 1, 1, 3, 0, {{0, 0}, {4, 64}, {10, 20}, {16, 50}}}};
    d.panningEnvelopes = {{4, 1 | 8, 2, 0, 0, 0, 2, {{0, -128}, {6, 128}, {12, 0}}}};
    d.dspe = true;
    d.echoTrackBytes = {1, 1, 1, 0}; // track 3 echoes from the start
    d.echoDelay = 20;
    d.echoFeedback = 100;
    d.patterns = {
        pattern(16, 4,
                {{0, 0, note(4, 0, 1, 31, 0x20, 15, 3)}, {0, 1, note(5, 0, 2, 8, 0x40)},
                 {0, 2, note(4, 4, 3, 9, 1)},            {0, 3, note(4, 7, 4, 0, 0x37)},
                 {1, 0, effects(32, 0x40, 33, 0x90)},    {1, 3, effects(34, 0x60, 35, 0x20)},
                 {2, 1, effects(31, 0x00, 10, 0x0F)},    {2, 2, effects(31, 0x10)},
                 {3, 0, note(4, 2, 2, 1, 0x08)},         {3, 1, note(3, 9, 1, 4, 0x46)},
                 {3, 3, note(4, 11, 5, 14, 0xD1)},       {4, 2, note(5, 0, 1, 3, 0x20)},
                 {4, 0, effects(5, 0x04, 6, 0x20)},      {5, 0, effects(31, 0x21, 2, 0xF2)},
                 {5, 1, effects(31, 0x01, 25, 0x30)},    {5, 3, note(4, 0, 4, 14, 0x92)},
                 {6, 2, effects(31, 0x11, 14, 0xC2)},    {6, 1, note(4, 5, 3, 14, 0x30)},
                 {7, 0, note(4, 3, 4, 12, 0x30, 16, 0x30)}, {7, 2, effects(17, 0x20, 14, 0x81)},
                 {8, 0, effects(31, 0x20, 14, 0x62)},    {8, 1, note(6, 1, 2, 14, 0x7F, 14, 0x11)},
                 {9, 3, note(4, 9, 1, 14, 0xA2, 14, 0x21)}, {10, 0, effects(14, 0x40, 14, 0xB1)},
                 {10, 1, note(12, 0, 5, 0, 0x4C)},       {11, 2, note(4, 0, 2, 14, 0xE1, 14, 0x61)},
                 {12, 3, note(4, 15, 0)}, // key-off on the running voice
                 {13, 0, effects(15, 0x40, 15, 2)},      {14, 1, effects(13, 0x02)}}),
        pattern(8, 4,
                {{0, 0, note(3, 0, 1, 31, 0x10)}, {0, 1, note(3, 7, 2)}, {2, 2, note(4, 0, 4, 31, 0x20)},
                 {4, 3, note(2, 0, 3, 11, 0)}})};
    d.songs = {{"Busy", {0, 1, 0}}, {"Other", {1}}};
    return d;
}

// A song that never ends: one one-row pattern repeated, two tracks with a
// looping sample sounding for as long as anyone pulls, both echoed from the
// DSPE flags.
inline ModuleSpec endlessModule()
{
    ModuleSpec d;
    d.name = "Endless";
    d.tracks = 2;
    d.samples = {{16, squareWave(64, 16000)}};
    d.instruments = {{"Loop", 1, 64, 8363, 0, 64, 0, 1}};
    d.patterns = {pattern(1, 2, {{0, 0, note(4, 0)}, {0, 1, note(4, 7)}})};
    d.songs = {{"Endless", {0}}};
    d.dspe = true;
    d.echoTrackBytes = {0, 0};
    return d;
}

// A module of `tracks` tracks with two instruments on looping samples:
// 1 "Square" (16-bit, forward) and 2 "Pong" (8-bit, ping-pong).
inline ModuleSpec twoVoices(const std::string &name, uint16_t tracks)
{
    ModuleSpec d;
    d.name = name;
    d.tracks = tracks;
    d.samples = {{16, squareWave(256, 20000)}, {8, squareWave(64, 90)}};
    d.instruments = {{"Square", 1, 64, 8363, 0, 256, 0, 1}, {"Pong", 2, 50, 22050, 8, 40, 30, 2}};
    return d;
}

// The hostile modules: valid files the reader accepts that push every limit
// a file can reach. Each plays at least `frames` frames' worth of music.

// Effect `command` in column 1 or 2 on tracks 0 and 1 with parameter r on
// row r (0..255), notes on track 0 every 4 rows and on track 1 every 8;
// track 2 starts a looping voice with speed 3 and tempo 255. Song {0, 0}.
inline ModuleSpec effectSweep(uint8_t command, unsigned column)
{
    ModuleSpec d = twoVoices("Sweep", 4);
    d.dspe = true;
    d.echoTrackBytes = {1, 0, 1, 1};
    d.patterns = {pattern(256, 4, {{0, 2, note(4, 0, 1, EFFECT_SPEED_TEMPO, 3, EFFECT_SPEED_TEMPO, 255)}})};
    for (unsigned row = 0; row < 256; ++row)
        for (unsigned track = 0; track < 2; ++track) {
            Cell &c = cell(d, row, track);
            if (row % (4 << track) == 0)
                c = note(uint8_t(3 + row % 3), uint8_t(row % 12), uint8_t(1 + track));
            (column == 1 ? c.effect1 : c.effect2) = command;
            (column == 1 ? c.param1 : c.param2) = uint8_t(row);
        }
    d.songs = {{"Sweep", {0, 0}}};
    return d;
}

// Notes at octaves 10..15, every semitone, with the widest arpeggio and
// sample offsets past the end, on one-frame loops (forward and ping-pong)
// and long samples, at both base-rate limits; speed 1 (set in place of the
// first arpeggio).
inline ModuleSpec extremeNotes()
{
    ModuleSpec d;
    d.name = "Extreme notes";
    d.tracks = 6;
    d.samples = {{16, {30000}}, {16, {30000, -30000}}, {16, squareWave(5000, 12000)}};
    d.instruments = {{"One frame fast", 1, 64, 192000, 0, 1, 0, 1}, {"One frame pong", 2, 64, 192000, 1, 1, 0, 2},
                     {"Long fast", 3, 64, 192000, 0, 0, 0, 0},      {"Long slow", 3, 64, 2000, 100, 4900, 0, 1},
                     {"One frame slow", 1, 64, 2000, 0, 1, 0, 2}};
    d.patterns = {pattern(72, 6)};
    for (unsigned row = 0; row < 72; ++row)
        for (unsigned track = 0; track < 6; ++track)
            cell(d, row, track) = note(uint8_t(10 + row / 12), uint8_t((row + track) % 12), uint8_t(1 + (row + track) % 5),
                                       row + track ? EFFECT_ARPEGGIO : EFFECT_SPEED_TEMPO, row + track ? 0xFF : 1,
                                       track % 2 ? EFFECT_EXTENDED : EFFECT_SAMPLE_OFFSET,
                                       track % 2 ? 0x7F : 0xFF); // 0x7F: high sample offset
    d.songs = {{"Extreme", {0}}};
    return d;
}

// Default volumes and pannings far outside 0..64 and -128..128, played with
// slides both ways and without any effect.
inline ModuleSpec outOfRangeInstruments()
{
    ModuleSpec d;
    d.name = "Out of range";
    d.samples = {{16, squareWave(128, 32767)}};
    const std::pair<uint16_t, int16_t> settings[] = {{65535, -32768}, {65, 32767}, {255, 129},
                                                     {32768, -129},   {64, 1000},  {0, -1000}};
    for (auto [volume, panning] : settings)
        d.instruments.push_back({"Wild", 1, volume, 8363, 0, 128, panning, 1});
    const uint8_t slides[][2] = {{0, 0}, {10, 0xF0}, {10, 0x0F}, {25, 0xF0}, {25, 0x0F}, {14, 0xAF}};
    d.patterns = {pattern(24, 4)};
    for (unsigned row = 0; row < 24; ++row)
        for (unsigned track = 0; track < 4; ++track) {
            const uint8_t *slide = slides[(row + 2 * track) % 6];
            cell(d, row, track) = note(4, uint8_t(row % 12), uint8_t(1 + (row + track) % 6), slide[0], slide[1]);
        }
    d.songs = {{"Wild", {0}}};
    return d;
}

// Volume and panning envelopes whose point positions repeat and fall, with
// sustain and loop points on those segments, and a key-off on row 20.
inline ModuleSpec strangeEnvelopes()
{
    ModuleSpec d = twoVoices("Strange envelopes", 2);
    const modwriter::EnvelopeSpec repeated{1, 1 | 2 | 4 | 8, 5, 1, 1, 2, 4,
                                           {{0, 64}, {0, 0}, {0, 32}, {2048, 64}, {2048, 10}, {2048, 40}}};
    const modwriter::EnvelopeSpec falling{2, 1 | 4, 4, 0, 0, 4, 0, {{100, 0}, {50, 64}, {0, 0}, {2048, 64}, {1, 30}}};
    modwriter::EnvelopeSpec fallingPanning = falling, repeatedPanning = repeated;
    fallingPanning.instrument = 1;
    fallingPanning.points = {{100, -128}, {50, 128}, {0, -128}, {2048, 128}, {1, 0}};
    repeatedPanning.instrument = 2;
    repeatedPanning.points = {{5, -128}, {5, 128}, {4, 0}, {3, 128}, {3, -128}, {0, 0}};
    d.volumeEnvelopes = {repeated, falling};
    d.panningEnvelopes = {fallingPanning, repeatedPanning};
    d.patterns = {pattern(32, 2)};
    for (unsigned row = 0; row < 32; row += 4) {
        cell(d, row, 0) = note(4, 0, uint8_t(1 + (row / 4) % 2));
        cell(d, row + 2, 1) = note(5, 0, uint8_t(2 - (row / 4) % 2));
    }
    cell(d, 20, 0) = note(4, 15, 0);
    d.songs = {{"Strange", {0, 0}}};
    return d;
}

// `tracks` tracks (254 is the most; even, at least 10), every one with a
// note and echo from the flags, the global echo switched on for all.
inline ModuleSpec manyTracks(uint16_t tracks = 254)
{
    ModuleSpec d = twoVoices("Many tracks", tracks);
    d.dspe = true;
    d.echoTrackBytes.assign(tracks, 0);
    d.patterns = {pattern(4, tracks, {{1, 7, effects(EFFECT_ECHO_SWITCH, 0x10)},
                                      {2, 9, effects(EFFECT_ECHO_SWITCH, 0x11, EFFECT_ECHO_SWITCH, 0x20)}})};
    for (unsigned track = 0; track < tracks; ++track)
        cell(d, 0, track) = note(uint8_t(2 + track % 5), uint8_t(track % 12), uint8_t(1 + track % 2), 4, 0x88);
    d.songs = {{"Many", {0}}};
    return d;
}

// Speed `speed` and tempo `tempo` set on row 0, notes and per-tick slides on
// every one of 8 rows.
inline ModuleSpec timing(uint8_t speed, uint8_t tempo)
{
    ModuleSpec d = twoVoices("Timing", 2);
    d.patterns = {pattern(8, 2)};
    for (unsigned row = 0; row < 8; ++row) {
        const uint8_t setting = row == 0 ? EFFECT_SPEED_TEMPO : 0;
        cell(d, row, 0) = note(4, uint8_t(row % 12), 1, 1, 0x20, setting, row == 0 ? speed : 0);
        cell(d, row, 1) = note(5, uint8_t(row % 12), 2, 10, 0x0F, setting, row == 0 ? tempo : 0);
    }
    d.songs = {{"Timing", {0}}};
    return d;
}

struct NamedModule {
    std::string name;
    ModuleSpec desc;
};

// The hostile modules but the effect sweeps, by name: extreme-notes,
// out-of-range, strange-envelopes, many-tracks, timing-1-32, timing-1-255,
// timing-31-32, timing-31-255.
inline std::vector<NamedModule> hostileModules()
{
    std::vector<NamedModule> out = {{"extreme-notes", extremeNotes()},
                                    {"out-of-range", outOfRangeInstruments()},
                                    {"strange-envelopes", strangeEnvelopes()},
                                    {"many-tracks", manyTracks()}};
    for (uint8_t speed : {1, 31})
        for (uint8_t tempo : {32, 255})
            out.push_back({"timing-" + std::to_string(speed) + "-" + std::to_string(tempo), timing(speed, tempo)});
    return out;
}

} // namespace testsupport
