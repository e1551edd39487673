#include "engine/duration.h"
#include "engine/lifecycle.h"
#include "engine/render.h"
#include "engine_support.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dbm;
using enginetest::TestModule;

namespace {

constexpr uint8_t JUMP = 11, EXTENDED = 14, SPEED = 15;
constexpr uint32_t CALL = 200000; // longer than every stopping song below

// Frames rendered when renderFrames first returns short, in calls of CALL frames.
uint64_t renderedUntilStop(const Module *module)
{
    Engine *engine = createEngine(module, 44100, CALL);
    EXPECT_NE(engine, nullptr);
    if (!engine)
        return 0;
    std::vector<int16_t> out(2 * CALL);
    uint64_t total = 0;
    for (int call = 0; call < 10; ++call) {
        const uint32_t n = renderFrames(engine, CALL, out.data());
        total += n;
        if (n < CALL)
            break;
    }
    destroyEngine(engine);
    return total;
}

using DurationScan = enginetest::HostTest;

} // namespace

// A plain song (every row once, the first row once more, then the stop tick)
// and songs with speed, tempo (with its carried remainder), breaks, delays, a
// pattern loop and a stop command: the scanned length is where the render loop stops.
TEST_F(DurationScan, ScannedLengthIsWhereRenderStops)
{
    TestModule plain(4, {{0}}, {8});
    EXPECT_EQ(scanSongDuration(plain.module(), 44100).frames, 55u * 882);
    TestModule a(4, {{0, 1, 0}}, {6, 5});
    a.effect(0, 0, 0, SPEED, 3);
    a.effect2(0, 0, 1, SPEED, 120);
    a.effect(1, 2, 2, EXTENDED, 0xE3);
    a.effect(1, 3, 1, 13, 0x04);
    TestModule b(2, {{1, 0}}, {4, 7});
    b.effect(1, 1, 0, EXTENDED, 0x60);
    b.effect(1, 3, 1, EXTENDED, 0x62);
    b.effect(0, 2, 0, SPEED, 0);
    b.effect2(1, 0, 1, SPEED, 77);
    TestModule c(3, {{0, 0, 0}}, {3});
    c.effect(0, 1, 2, SPEED, 1);
    c.effect2(0, 2, 0, SPEED, 255);
    for (TestModule *song : {&plain, &a, &b, &c}) {
        const SongDuration d = scanSongDuration(song->module(), 44100);
        ASSERT_TRUE(d.valid);
        EXPECT_TRUE(d.stops);
        EXPECT_EQ(d.frames, renderedUntilStop(song->module()));
    }
}

// A jump back to the start repeats for ever: no stop, the four-hour length.
TEST_F(DurationScan, EndlessSongIsRecognised)
{
    TestModule song(4, {{0, 1}}, {4, 4});
    song.effect(1, 2, 0, JUMP, 0); // before the last row: the order list never runs out
    const SongDuration d = scanSongDuration(song.module(), 22050);
    ASSERT_TRUE(d.valid);
    EXPECT_FALSE(d.stops);
    EXPECT_EQ(d.frames, 14400u * 22050);
}

// Modules the engine refuses give an invalid scan.
TEST_F(DurationScan, UnplayableModuleIsInvalid)
{
    TestModule song(0, {{0}}, {4});
    EXPECT_FALSE(scanSongDuration(song.module(), 44100).valid);
    TestModule fine(4, {{0}}, {4});
    EXPECT_FALSE(scanSongDuration(fine.module(), 7000).valid);
}
