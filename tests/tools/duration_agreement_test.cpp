// The duration scan kvplay relies on agrees with rendering: one render call
// long enough for the whole song reports the stop (returns short) exactly at
// the scanned frame.

#include "engine/duration.h"
#include "engine/lifecycle.h"
#include "engine/render.h"
#include "tests/support/load.h"
#include "tools/demo/demo_song.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Frames one render call of `wanted` frames delivers on a fresh engine
// (rendered splits of the call would hide a stop tick that spans two calls).
uint64_t framesOfOneCall(const dbm::Module *module, uint32_t wanted)
{
    dbm::Engine *engine = dbm::createEngine(module, 44100, wanted);
    if (!engine)
        return 0;
    dbm::setOutputLevel(engine, 16);
    std::vector<int16_t> buffer(2 * size_t(wanted));
    uint32_t got = dbm::renderFrames(engine, wanted, buffer.data());
    dbm::destroyEngine(engine);
    return got;
}

void expectScanMatchesRender(const modwriter::ModuleSpec &desc)
{
    testsupport::ModuleHandle module(testsupport::loadSpec(desc));
    ASSERT_TRUE(module);
    dbm::SongDuration duration = dbm::scanSongDuration(module.get(), 44100);
    ASSERT_TRUE(duration.valid && duration.stops);
    EXPECT_EQ(framesOfOneCall(module.get(), uint32_t(duration.frames + 44100)), duration.frames);
}

// A module that changes speed and tempo, delays rows, loops a section and
// breaks into the middle of its last pattern.
modwriter::ModuleSpec restlessModule()
{
    modwriter::ModuleSpec desc = modwriter::minimalModule(4);
    modwriter::PatternSpec second;
    second.rows = 24;
    desc.patterns.push_back(second);
    desc.songs[0].orders = {0, 1};
    auto set = [&](unsigned pattern, unsigned row, unsigned track, uint8_t effect, uint8_t param) {
        modwriter::Cell &cell = desc.patterns[pattern].at(row, track, desc.tracks);
        cell.effect1 = effect;
        cell.param1 = param;
    };
    set(0, 2, 1, 15, 3);     // speed 3
    set(0, 5, 2, 15, 97);    // tempo 97
    set(0, 8, 1, 14, 0xE3);  // hold the row three more times
    set(0, 10, 3, 14, 0x60); // loop start
    set(0, 12, 3, 14, 0x62); // ... played three times
    set(0, 20, 2, 13, 0x16); // break to row 16 of the next pattern
    set(1, 20, 1, 15, 200);  // tempo 200
    return desc;
}

TEST(DurationAgreement, TheDemoStopsWhereItsScanSays)
{
    expectScanMatchesRender(demo::demoSong());
}

TEST(DurationAgreement, SpeedTempoDelayLoopAndBreakAreCountedLikeRendering)
{
    expectScanMatchesRender(restlessModule());
}

TEST(DurationAgreement, ASongEndedByAStopCommandIsCountedLikeRendering)
{
    modwriter::ModuleSpec desc = modwriter::minimalModule(2);
    modwriter::Cell &stop = desc.patterns[0].at(7, 1, desc.tracks);
    stop.effect1 = 15;
    expectScanMatchesRender(desc);
}

} // namespace
