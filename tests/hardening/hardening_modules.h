// Modules for the hardening tests and the fuzzing seeds, written with our
// module writer.
//
// busyModule: every chunk kind, every sample width, every loop mode, both
//   envelope kinds, echo from the DSPE flags and from every echo switch,
//   voice chains rebuilt on many rows, a second song and pattern.
// endlessModule: two tracks that sound for as long as anyone pulls: a
//   looping sample on each, both with echo from the flags.
// Everything is plain data; nothing here touches the host.
#pragma once

#include "tools/modwriter/modwriter.h"

#include <cstdint>
#include <vector>

namespace hardening {

using modwriter::Cell;
using modwriter::ModuleSpec;

inline std::vector<int32_t> squareWave(unsigned frames, int32_t high)
{
    std::vector<int32_t> out(frames);
    for (unsigned i = 0; i < frames; ++i)
        out[i] = i < frames / 2 ? high : -high;
    return out;
}

inline Cell note(uint8_t octave, uint8_t semitone, uint8_t instrument, uint8_t effect1 = 0,
                 uint8_t param1 = 0, uint8_t effect2 = 0, uint8_t param2 = 0)
{
    return Cell{semitone, octave, instrument, effect1, param1, effect2, param2};
}

inline Cell effect(uint8_t effect1, uint8_t param1, uint8_t effect2 = 0, uint8_t param2 = 0)
{
    return Cell{0, 0, 0, effect1, param1, effect2, param2};
}

inline ModuleSpec busyModule()
{
    constexpr uint16_t TRACKS = 4;
    ModuleSpec desc;
    desc.name = "Busy";
    desc.tracks = TRACKS;

    desc.samples.push_back({8, squareWave(200, 100)});
    desc.samples.push_back({16, squareWave(600, 20000)});
    desc.samples.push_back({32, squareWave(300, 0x30000000)});
    desc.samples.push_back({16, squareWave(2, 9000)});

    modwriter::InstrumentSpec forward{"Forward", 1, 64, 8363, 0, 200, 0, 1};
    modwriter::InstrumentSpec pingPong{"PingPong", 2, 48, 16726, 100, 400, -60, 2};
    modwriter::InstrumentSpec once{"Once", 3, 40, 22050, 0, 0, 90, 0};
    modwriter::InstrumentSpec enveloped{"Enveloped", 2, 64, 8363, 0, 600, 0, 1};
    modwriter::InstrumentSpec tiny{"Tiny", 4, 64, 44100, 0, 1, 0, 1};
    desc.instruments = {forward, pingPong, once, enveloped, tiny};

    modwriter::EnvelopeSpec volume;
    volume.instrument = 4;
    volume.flags = 1 | 2 | 4; // enabled, sustain, loop
    volume.lastPoint = 3;
    volume.sustainA = 1;
    volume.loopStart = 1;
    volume.loopEnd = 3;
    volume.points = {{0, 0}, {4, 64}, {10, 20}, {16, 50}};
    modwriter::EnvelopeSpec panning;
    panning.instrument = 4;
    panning.flags = 1 | 8; // enabled, second sustain
    panning.lastPoint = 2;
    panning.sustainB = 2;
    panning.points = {{0, -128}, {6, 128}, {12, 0}};
    desc.volumeEnvelopes = {volume};
    desc.panningEnvelopes = {panning};

    desc.dspe = true;
    desc.echoTrackBytes = {1, 1, 1, 0}; // track 3 echoes from the start
    desc.echoDelay = 20;
    desc.echoFeedback = 100;

    modwriter::PatternSpec first;
    first.rows = 16;
    auto at = [&](modwriter::PatternSpec &p, unsigned row, unsigned track) -> Cell & {
        return p.at(row, track, TRACKS);
    };
    at(first, 0, 0) = note(4, 0, 1, 31, 0x20, 15, 3); // echo of its own, speed 3
    at(first, 0, 1) = note(5, 0, 2, 8, 0x40);
    at(first, 0, 2) = note(4, 4, 3, 9, 1);
    at(first, 0, 3) = note(4, 7, 4, 0, 0x37);
    at(first, 1, 0) = effect(32, 0x40, 33, 0x90);
    at(first, 1, 3) = effect(34, 0x60, 35, 0x20);
    at(first, 2, 1) = effect(31, 0x00, 10, 0x0F);
    at(first, 2, 2) = effect(31, 0x10);
    at(first, 3, 0) = note(4, 2, 2, 1, 0x08);
    at(first, 3, 1) = note(3, 9, 1, 4, 0x46);
    at(first, 3, 3) = note(4, 11, 5, 14, 0xD1);
    at(first, 4, 2) = note(5, 0, 1, 3, 0x20);
    at(first, 4, 0) = effect(5, 0x04, 6, 0x20);
    at(first, 5, 0) = effect(31, 0x21, 2, 0xF2);
    at(first, 5, 1) = effect(31, 0x01, 25, 0x30);
    at(first, 5, 3) = note(4, 0, 4, 14, 0x92);
    at(first, 6, 2) = effect(31, 0x11, 14, 0xC2);
    at(first, 6, 1) = note(4, 5, 3, 14, 0x30);
    at(first, 7, 0) = note(4, 3, 4, 12, 0x30, 16, 0x30);
    at(first, 7, 2) = effect(17, 0x20, 14, 0x81);
    at(first, 8, 0) = effect(31, 0x20, 14, 0x62);
    at(first, 8, 1) = note(6, 1, 2, 14, 0x7F, 14, 0x11);
    at(first, 9, 3) = note(4, 9, 1, 14, 0xA2, 14, 0x21);
    at(first, 10, 0) = effect(14, 0x40, 14, 0xB1);
    at(first, 10, 1) = note(12, 0, 5, 0, 0x4C);
    at(first, 11, 2) = note(4, 0, 2, 14, 0xE1, 14, 0x61);
    at(first, 12, 3) = note(4, 15, 0); // key-off on the running voice
    at(first, 13, 0) = effect(15, 0x40, 15, 2);
    at(first, 14, 1) = effect(13, 0x02);
    desc.patterns.push_back(first);

    modwriter::PatternSpec second;
    second.rows = 8;
    at(second, 0, 0) = note(3, 0, 1, 31, 0x10);
    at(second, 0, 1) = note(3, 7, 2);
    at(second, 2, 2) = note(4, 0, 4, 31, 0x20);
    at(second, 4, 3) = note(2, 0, 3, 11, 0);
    desc.patterns.push_back(second);

    desc.songs.push_back({"Busy", {0, 1, 0}});
    desc.songs.push_back({"Other", {1}});
    return desc;
}

inline ModuleSpec endlessModule()
{
    ModuleSpec desc;
    desc.name = "Endless";
    desc.tracks = 2;
    desc.samples.push_back({16, squareWave(64, 16000)});
    desc.instruments.push_back({"Loop", 1, 64, 8363, 0, 64, 0, 1});
    modwriter::PatternSpec pattern;
    pattern.rows = 1;
    pattern.at(0, 0, 2) = note(4, 0, 1);
    pattern.at(0, 1, 2) = note(4, 7, 1);
    desc.patterns.push_back(pattern);
    desc.songs.push_back({"Endless", {0}});
    desc.dspe = true;
    desc.echoTrackBytes = {0, 0};
    return desc;
}

} // namespace hardening
