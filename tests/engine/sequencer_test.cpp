// The song's course (rows played, jumps, breaks, delays, stops), the render
// loop around the ticks, the output conversion, the engine's refusals and
// the duration scan (the pan delay table is held by the golden digests).
#include "engine/duration.h"
#include "engine_support.h"

#include <array>

using namespace dbm;
using namespace enginetest;

namespace {

constexpr uint8_t JUMP = 11, BREAK = 13, EXTENDED = 14, SPEED = 15;

// Row r of pattern p sets the global volume to its mark 10 x p + r + 1.
constexpr int mark(int p, int r) { return 10 * p + r + 1; }

struct Effect {
    unsigned pattern, row, track;
    uint8_t effect, param;
};

// Patterns of `rows` rows, every row marked on track 3, `effects` in column 1.
ModuleSpec markedSong(std::vector<uint16_t> orders, unsigned patterns, uint16_t rows, std::initializer_list<Effect> list)
{
    ModuleSpec desc = songWith();
    desc.patterns.assign(patterns, pattern(rows, 4));
    for (unsigned p = 0; p < patterns; ++p)
        for (unsigned r = 0; r < rows; ++r)
            cell(desc, r, 3, p) = effects(0, 0, 16, uint8_t(mark(int(p), int(r))));
    for (const Effect &e : list) {
        cell(desc, e.row, e.track, e.pattern).effect1 = e.effect;
        cell(desc, e.row, e.track, e.pattern).param1 = e.param;
    }
    desc.songs[0].orders = std::move(orders);
    return desc;
}

struct Course {
    const char *rule;
    std::vector<uint16_t> orders;
    unsigned patterns;
    uint16_t rows;
    std::initializer_list<Effect> effects;
    int ticks;
    std::vector<int> processed; // the marks of the rows processed, in order
    std::vector<int> stops;     // the ticks that reported the stop
};

} // namespace

TEST_F(EngineTest, SongCourse)
{
    const int m00 = mark(0, 0), m01 = mark(0, 1), m02 = mark(0, 2), m03 = mark(0, 3);
    const Course courses[] = {
        {"at speed 1 every tick starts a row", {0}, 1, 8, {{0, 0, 0, SPEED, 1}}, 5, {m00, m01, m02, m03, mark(0, 4)}, {}},
        {"a stop command's row plays in full; every later row start reports the stop", {0}, 1, 8,
         {{0, 1, 0, SPEED, 0}}, 30, {m00, m01}, {12, 18, 24}},
        {"a row delay on the stop's row replaces the stop", {0}, 1, 8, {{0, 1, 0, SPEED, 0}, {0, 1, 1, EXTENDED, 0xE1}}, 24,
         {m00, m01, m02}, {}},
        {"row delay 15 holds the row 15 x speed ticks and the song goes on", {0}, 1, 4, {{0, 1, 0, EXTENDED, 0xEF}}, 103,
         {m00, m01, m02}, {}},
        {"past the last row of the last order the first row plays once more, then the song stops", {0, 1}, 2, 2, {}, 42,
         {m00, m01, mark(1, 0), mark(1, 1), m00}, {30, 36}},
        {"a position jump beyond the order list goes to order 0, row 0, without stopping", {0, 1, 2}, 3, 4,
         {{1, 1, 0, JUMP, 200}}, 48, {m00, m01, m02, m03, mark(1, 0), mark(1, 1), m00, m01}, {}},
        {"a break on the last row of a pattern lands in the next pattern", {0, 1, 2}, 3, 4, {{0, 3, 0, BREAK, 0x02}}, 36,
         {m00, m01, m02, m03, mark(1, 2), mark(1, 3)}, {}},
        {"a break past the next pattern's rows lands on its last row", {0, 1}, 2, 4, {{0, 0, 0, BREAK, 0x70}}, 19,
         {m00, mark(1, 3), m00}, {18}},
        {"a break on the last order wraps to order 0 without arming the stop", {0, 1}, 2, 4, {{1, 1, 0, BREAK, 0x03}}, 43,
         {m00, m01, m02, m03, mark(1, 0), mark(1, 1), m03, mark(1, 0)}, {}},
        {"a jump and a break on one row: the break row applies in the jumped-to pattern", {0, 1, 2}, 3, 4,
         {{0, 1, 0, JUMP, 2}, {0, 1, 1, BREAK, 0x03}}, 18, {m00, m01, mark(2, 3)}, {}},
        {"a loop end overrides a jump and a break on its row until the loop is done", {0, 1, 2}, 3, 4,
         {{0, 1, 0, EXTENDED, 0x60}, {0, 2, 0, EXTENDED, 0x61}, {0, 2, 1, JUMP, 2}, {0, 2, 2, BREAK, 0x03}}, 36,
         {m00, m01, m02, m01, m02, mark(2, 3)}, {}},
        {"a row holding a delay and a break is held first; the break follows", {0, 1}, 2, 4,
         {{0, 1, 0, EXTENDED, 0xE1}, {0, 1, 1, BREAK, 0x02}}, 24, {m00, m01, mark(1, 2)}, {}},
    };
    for (const Course &c : courses) {
        SCOPED_TRACE(c.rule);
        Player player(markedSong(c.orders, c.patterns, c.rows, c.effects));
        ASSERT_NE(player.engine, nullptr);
        std::vector<int> processed, stops;
        for (int i = 0; i < c.ticks; ++i) {
            player.engine->globalVolume = 0;
            if (player.tick())
                stops.push_back(i);
            if (player.engine->globalVolume)
                processed.push_back(player.engine->globalVolume);
        }
        EXPECT_EQ(processed, c.processed);
        EXPECT_EQ(stops, c.stops);
    }
}

// Ticks come before frames 0, 882 and 1764 of a 2000-frame call at tempo 125;
// the next call first finishes the 646 frames left. No frames run no tick;
// more than the buffers hold renders nothing and writes silence.
TEST_F(EngineTest, TicksCutTheRequestAndAStopEndsIt)
{
    Player player(songWith({{0, 0, note(4, 0)}}), 2000);
    EXPECT_EQ(renderFrames(player.engine, 0, player.out.data()), 0u);
    EXPECT_EQ(player.engine->tick, 0);
    EXPECT_EQ(renderFrames(player.engine, 2000, player.out.data()), 2000u);
    EXPECT_EQ(std::vector<int>({player.engine->tick, int(player.engine->framesLeftInTick)}), std::vector<int>({3, 646}));
    EXPECT_EQ(renderFrames(player.engine, 1000, player.out.data()), 1000u);
    EXPECT_EQ(std::vector<int>({player.engine->tick, int(player.engine->framesLeftInTick)}), std::vector<int>({4, 528}));
    std::vector<int16_t> out(2 * 2001, 9);
    EXPECT_EQ(renderFrames(player.engine, 2001, out.data()), 0u);
    EXPECT_EQ(out, std::vector<int16_t>(2 * 2001, 0));
    // A stop reported by the tick at frame 1764 ends the call after that tick;
    // the frames beyond are silence; every later call renders one tick.
    Player stopping(songWith({{0, 0, note(4, 0, 1, SPEED, 1, SPEED, 0)}}), 2000);
    EXPECT_EQ(renderFrames(stopping.engine, 2000, out.data()), 1764u);
    EXPECT_EQ(std::vector<int16_t>(out.begin() + 2 * 1764, out.begin() + 4000), std::vector<int16_t>(2 * 236, 0));
    EXPECT_EQ(renderFrames(stopping.engine, 2000, out.data()), 882u);
}

// The accumulator converts as (v x gain) >> 16 up to +-clip level inclusive and saturates at +-32767 beyond.
TEST_F(EngineTest, OutputConversionAtTheClipLevel)
{
    const int32_t cases[][4] = { // gain, clip level, accumulator, output{0x10000, 1000, 1000, 1000},     {0x10000, 1000, 1001, 32767},       {0x10000, 1000, -1000, -1000},
                          {0x10000, 1000, -1001, -32767},  {0x8000, 65535, -65535, -32768},    {0x8000, 65535, 65535, 32767},
                          {0x8000, 65535, -65536, -32767}, {0x18000, 1000, -1, -2},            {0x18000, 1000, 3, 4},
                          {0x10000, 1000, INT32_MIN, -32767}, {0x10000, 1000, INT32_MAX, 32767}};
    Player player(songWith());
    for (const auto &c : cases) {
        player.engine->outputGain = c[0];
        player.engine->clipLevel = c[1];
        player.engine->mixBuffer[0] = player.engine->mixBuffer[1] = c[2];
        int16_t out[2];
        convertOutput(player.engine, 1, out);
        EXPECT_EQ(out[0], c[3]) << c[2] << " at gain " << c[0] << ", clip " << c[1];
    }
}

// Output gain 2^(level / 6) / tracks in 16.16, truncated (streams use level
// 16), and the clip level INT32_MAX / gain; absurd levels neither overflow nor
// divide by zero. 2^(9/6) / 2 x 65536 is 92681.9.
TEST_F(EngineTest, OutputLevels)
{
    for (auto c : {std::array<int, 4>{4, 16, 104032, 20642}, {4, -1, 14596, 147128}, {2, 9, 92682, 23170}, {4, 32767, 0, INT32_MAX}}) {
        Player player(songWith({}, uint16_t(c[0])));
        EXPECT_EQ(setOutputLevel(player.engine, int16_t(c[1])), c[2]) << c[0] << " tracks, level " << c[1];
        EXPECT_EQ(player.engine->clipLevel, c[3]) << c[0] << " tracks, level " << c[1];
    }
}

// Rates outside 8000..192000, no frames, and modules without tracks are
// refused; the bounds are accepted.
TEST_F(EngineTest, RefusedRatesAndModules)
{
    ModuleHandle module(loadSpec(songWith()));
    ASSERT_TRUE(module);
    for (uint32_t rate : {7999u, 8000u, 192000u, 192001u}) {
        Engine *engine = createEngine(module.get(), rate, 64);
        EXPECT_EQ(engine != nullptr, rate == 8000 || rate == 192000) << rate;
        destroyEngine(engine);
    }
    EXPECT_EQ(createEngine(module.get(), 44100, 0), nullptr);
    EXPECT_EQ(createEngine(nullptr, 44100, 64), nullptr);
    Module copy = *module;
    copy.trackCount = 0;
    EXPECT_EQ(createEngine(&copy, 44100, 64), nullptr);
}

// The scanned length is where the render loop stops: a plain song (every row
// once, the first row once more, then the stop tick) and songs with speed,
// tempo and its carried remainder, breaks, delays, a pattern loop and a stop.
TEST_F(EngineTest, ScannedLengthIsWhereRenderStops)
{
    ModuleSpec plain = markedSong({0}, 1, 8, {});
    EXPECT_EQ(scanSongDuration(ModuleHandle(loadSpec(plain)).get(), 44100).frames, 55u * 882);
    const ModuleSpec songs[] = {
        plain,
        markedSong({0, 1, 0}, 2, 6, {{0, 0, 0, SPEED, 3}, {0, 0, 1, SPEED, 120}, {1, 2, 2, EXTENDED, 0xE3}, {1, 3, 1, BREAK, 0x04}}),
        markedSong({1, 0}, 2, 7, {{1, 1, 0, EXTENDED, 0x60}, {1, 3, 1, EXTENDED, 0x62}, {0, 2, 0, SPEED, 0}, {1, 0, 1, SPEED, 77}}),
        markedSong({0, 0, 0}, 1, 3, {{0, 1, 2, SPEED, 1}, {0, 2, 0, SPEED, 255}}),
    };
    for (const ModuleSpec &desc : songs) {
        Player player(desc, 200000);
        const SongDuration d = scanSongDuration(player.module.get(), 44100);
        ASSERT_TRUE(d.valid && d.stops);
        std::vector<int16_t> out(2 * 200000);
        uint64_t total = 0;
        for (uint32_t n = 200000, calls = 0; n == 200000 && calls < 10; total += n, ++calls)
            n = renderFrames(player.engine, 200000, out.data());
        EXPECT_EQ(d.frames, total);
    }
    // A jump back before the last row repeats for ever: no stop, four hours.
    const SongDuration endless = scanSongDuration(ModuleHandle(loadSpec(markedSong({0, 1}, 2, 4, {{1, 2, 0, JUMP, 0}}))).get(), 22050);
    EXPECT_TRUE(endless.valid && !endless.stops);
    EXPECT_EQ(endless.frames, 14400u * 22050);
    EXPECT_FALSE(scanSongDuration(ModuleHandle(loadSpec(plain)).get(), 7000).valid);
}
