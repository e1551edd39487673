// Modules that push every limit a file can reach, for the hostile playing
// tests and the fuzzing seeds. All are valid files the reader accepts; what
// they ask of the player is extreme.
#pragma once

#include "tests/hardening/hardening_modules.h"

namespace hardening {

constexpr uint8_t EFFECT_SPEED_TEMPO = 15;
constexpr uint8_t EFFECT_ARPEGGIO = 0;
constexpr uint8_t EFFECT_SAMPLE_OFFSET = 9;
constexpr uint8_t EFFECT_EXTENDED = 14;
constexpr uint8_t EFFECT_ECHO_SWITCH = 31;
constexpr unsigned EFFECT_COUNT = 36;

// Two instruments on looping samples, shared by the modules below.
inline void addTwoVoices(ModuleSpec &desc)
{
    desc.samples.push_back({16, squareWave(256, 20000)});
    desc.samples.push_back({8, squareWave(64, 90)});
    desc.instruments.push_back({"Square", 1, 64, 8363, 0, 256, 0, 1});
    desc.instruments.push_back({"Pong", 2, 50, 22050, 8, 40, 30, 2});
}

// Effect `command` in column 1 or 2 on tracks 0 and 1 with parameter r on row
// r, for r = 0..255; notes come on track 0 every 4 rows and on track 1 every
// 8, and track 2 starts a looping voice on row 0 with speed 3 and tempo 255
// so the rows go fast.
inline ModuleSpec effectSweep(uint8_t command, unsigned column)
{
    constexpr uint16_t TRACKS = 4; // track counts are even
    ModuleSpec desc;
    desc.name = "Sweep";
    desc.tracks = TRACKS;
    addTwoVoices(desc);
    desc.dspe = true;
    desc.echoTrackBytes = {1, 0, 1, 1};
    modwriter::PatternSpec pattern;
    pattern.rows = 256;
    pattern.at(0, 2, TRACKS) = note(4, 0, 1, EFFECT_SPEED_TEMPO, 3, EFFECT_SPEED_TEMPO, 255);
    for (unsigned row = 0; row < 256; ++row) {
        for (unsigned track = 0; track < 2; ++track) {
            Cell &cell = pattern.at(row, track, TRACKS);
            if (row % (4 << track) == 0) {
                cell.octave = static_cast<uint8_t>(3 + row % 3);
                cell.note = static_cast<uint8_t>(row % 12);
                cell.instrument = static_cast<uint8_t>(1 + track);
            }
            (column == 1 ? cell.effect1 : cell.effect2) = command;
            (column == 1 ? cell.param1 : cell.param2) = static_cast<uint8_t>(row);
        }
    }
    desc.patterns.push_back(pattern);
    desc.songs.push_back({"Sweep", {0, 0}});
    return desc;
}

// Notes at octaves 10..15, every semitone, with the widest arpeggio and
// sample offsets past the end, on one-frame loops (forward and ping-pong) and
// long samples, at both base-rate limits.
inline ModuleSpec extremeNotes()
{
    constexpr uint16_t TRACKS = 6;
    ModuleSpec desc;
    desc.name = "Extreme notes";
    desc.tracks = TRACKS;
    desc.samples.push_back({16, {30000}});
    desc.samples.push_back({16, {30000, -30000}});
    desc.samples.push_back({16, squareWave(5000, 12000)});
    desc.instruments.push_back({"One frame fast", 1, 64, 192000, 0, 1, 0, 1});
    desc.instruments.push_back({"One frame pong", 2, 64, 192000, 1, 1, 0, 2});
    desc.instruments.push_back({"Long fast", 3, 64, 192000, 0, 0, 0, 0});
    desc.instruments.push_back({"Long slow", 3, 64, 2000, 100, 4900, 0, 1});
    desc.instruments.push_back({"One frame slow", 1, 64, 2000, 0, 1, 0, 2});
    modwriter::PatternSpec pattern;
    pattern.rows = 72;
    for (unsigned row = 0; row < 72; ++row) {
        for (unsigned track = 0; track < TRACKS; ++track) {
            Cell &cell = pattern.at(row, track, TRACKS);
            cell.octave = static_cast<uint8_t>(10 + row / 12);
            cell.note = static_cast<uint8_t>((row + track) % 12);
            cell.instrument = static_cast<uint8_t>(1 + (row + track) % 5);
            cell.effect1 = EFFECT_ARPEGGIO;
            cell.param1 = 0xFF;
            if (track % 2 == 0) {
                cell.effect2 = EFFECT_SAMPLE_OFFSET;
                cell.param2 = 0xFF;
            } else {
                cell.effect2 = EFFECT_EXTENDED;
                cell.param2 = 0x7F; // high sample offset
            }
        }
    }
    pattern.at(0, 0, TRACKS).effect1 = EFFECT_SPEED_TEMPO; // speed 1: every row a new note
    pattern.at(0, 0, TRACKS).param1 = 1;
    desc.patterns.push_back(pattern);
    desc.songs.push_back({"Extreme", {0}});
    return desc;
}

// Default volumes and pannings far outside 0..64 and -128..128, played with
// slides in both directions and without any effect.
inline ModuleSpec outOfRangeInstruments()
{
    constexpr uint16_t TRACKS = 4;
    ModuleSpec desc;
    desc.name = "Out of range";
    desc.tracks = TRACKS;
    desc.samples.push_back({16, squareWave(128, 32767)});
    const std::pair<uint16_t, int16_t> settings[] = {
        {65535, -32768}, {65, 32767}, {255, 129}, {32768, -129}, {64, 1000}, {0, -1000}};
    for (auto [volume, panning] : settings)
        desc.instruments.push_back({"Wild", 1, volume, 8363, 0, 128, panning, 1});
    modwriter::PatternSpec pattern;
    pattern.rows = 24;
    const uint8_t slides[][2] = {{0, 0}, {10, 0xF0}, {10, 0x0F}, {25, 0xF0}, {25, 0x0F}, {14, 0xAF}};
    for (unsigned row = 0; row < 24; ++row)
        for (unsigned track = 0; track < TRACKS; ++track)
            pattern.at(row, track, TRACKS) = note(4, static_cast<uint8_t>(row % 12),
                                                  static_cast<uint8_t>(1 + (row + track) % 6),
                                                  slides[(row + 2 * track) % 6][0],
                                                  slides[(row + 2 * track) % 6][1]);
    desc.patterns.push_back(pattern);
    desc.songs.push_back({"Wild", {0}});
    return desc;
}

// Volume and panning envelopes whose point positions repeat and fall, with
// sustain and loop points on those segments.
inline ModuleSpec strangeEnvelopes()
{
    ModuleSpec desc;
    desc.name = "Strange envelopes";
    desc.tracks = 2;
    addTwoVoices(desc);
    modwriter::EnvelopeSpec repeated;
    repeated.instrument = 1;
    repeated.flags = 1 | 2 | 4 | 8;
    repeated.lastPoint = 5;
    repeated.sustainA = 1;
    repeated.loopStart = 1;
    repeated.loopEnd = 2;
    repeated.sustainB = 4;
    repeated.points = {{0, 64}, {0, 0}, {0, 32}, {2048, 64}, {2048, 10}, {2048, 40}};
    modwriter::EnvelopeSpec falling;
    falling.instrument = 2;
    falling.flags = 1 | 4;
    falling.lastPoint = 4;
    falling.loopStart = 0;
    falling.loopEnd = 4;
    falling.points = {{100, 0}, {50, 64}, {0, 0}, {2048, 64}, {1, 30}};
    modwriter::EnvelopeSpec fallingPanning = falling;
    fallingPanning.instrument = 1;
    fallingPanning.points = {{100, -128}, {50, 128}, {0, -128}, {2048, 128}, {1, 0}};
    modwriter::EnvelopeSpec repeatedPanning = repeated;
    repeatedPanning.instrument = 2;
    repeatedPanning.points = {{5, -128}, {5, 128}, {4, 0}, {3, 128}, {3, -128}, {0, 0}};
    desc.volumeEnvelopes = {repeated, falling};
    desc.panningEnvelopes = {fallingPanning, repeatedPanning};
    modwriter::PatternSpec pattern;
    pattern.rows = 32;
    for (unsigned row = 0; row < 32; row += 4) {
        pattern.at(row, 0, 2) = note(4, 0, 1 + (row / 4) % 2);
        pattern.at(row + 2, 1, 2) = note(5, 0, 2 - (row / 4) % 2);
    }
    pattern.at(20, 0, 2) = note(4, 15, 0); // key-off: leave the sustain
    desc.patterns.push_back(pattern);
    desc.songs.push_back({"Strange", {0, 0}});
    return desc;
}

// 254 tracks (or fewer, even, at least 10), every one with a note, echo
// from the flags on every track and the global echo switched on for all.
inline ModuleSpec manyTracks(uint16_t tracks = 254)
{
    ModuleSpec desc;
    desc.name = "Many tracks";
    desc.tracks = tracks;
    addTwoVoices(desc);
    desc.dspe = true;
    desc.echoTrackBytes.assign(tracks, 0);
    modwriter::PatternSpec pattern;
    pattern.rows = 4;
    for (unsigned track = 0; track < tracks; ++track)
        pattern.at(0, track, tracks) = note(static_cast<uint8_t>(2 + track % 5), track % 12,
                                            static_cast<uint8_t>(1 + track % 2), 4, 0x88);
    pattern.at(1, 7, tracks) = effect(EFFECT_ECHO_SWITCH, 0x10);
    pattern.at(2, 9, tracks) = effect(EFFECT_ECHO_SWITCH, 0x11, EFFECT_ECHO_SWITCH, 0x20);
    desc.patterns.push_back(pattern);
    desc.songs.push_back({"Many", {0}});
    return desc;
}

// One pattern of 65535 rows (the most there can be) on two tracks, with
// notes on its first and last rows.
inline ModuleSpec longestPattern()
{
    ModuleSpec desc;
    desc.name = "Longest pattern";
    desc.tracks = 2;
    addTwoVoices(desc);
    modwriter::PatternSpec pattern;
    pattern.rows = 65535;
    pattern.at(0, 0, 2) = note(4, 0, 1);
    pattern.at(65534, 1, 2) = note(4, 0, 2, EFFECT_EXTENDED, 0x61);
    pattern.at(65533, 1, 2) = effect(EFFECT_EXTENDED, 0x60);
    desc.patterns.push_back(pattern);
    desc.songs.push_back({"Long", {0, 0}});
    return desc;
}

// Speed and tempo set on row 0 (speed 1..31, tempo 32..255), notes and
// per-tick slides on every row.
inline ModuleSpec timing(uint8_t speed, uint8_t tempo)
{
    ModuleSpec desc;
    desc.name = "Timing";
    desc.tracks = 2;
    addTwoVoices(desc);
    modwriter::PatternSpec pattern;
    pattern.rows = 8;
    for (unsigned row = 0; row < 8; ++row) {
        pattern.at(row, 0, 2) = note(4, row % 12, 1, 1, 0x20);
        pattern.at(row, 1, 2) = note(5, row % 12, 2, 10, 0x0F);
    }
    pattern.at(0, 0, 2).effect2 = EFFECT_SPEED_TEMPO;
    pattern.at(0, 0, 2).param2 = speed;
    pattern.at(0, 1, 2).effect2 = EFFECT_SPEED_TEMPO;
    pattern.at(0, 1, 2).param2 = tempo;
    desc.patterns.push_back(pattern);
    desc.songs.push_back({"Timing", {0}});
    return desc;
}

} // namespace hardening
