#include "engine/lifecycle.h"
#include "engine/sequencer.h"
#include "engine_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace dbm;
using enginetest::TestModule;

namespace {

constexpr uint8_t SET_GLOBAL_VOLUME = 16;
constexpr uint8_t JUMP = 11, BREAK = 13, EXTENDED = 14, SPEED = 15, SET_VOLUME = 12, VOLUME_SLIDE = 10;
constexpr unsigned MARK_TRACK = 3;

// Every row of the test patterns sets the global volume to its own mark, so
// the rows a tick processes can be read back.
int mark(unsigned pattern, unsigned row)
{
    return int(10 * pattern + row + 1);
}

void markAll(TestModule &song, unsigned patterns, unsigned rows)
{
    for (unsigned p = 0; p < patterns; ++p)
        for (unsigned r = 0; r < rows; ++r)
            song.effect2(p, r, MARK_TRACK, SET_GLOBAL_VOLUME, uint8_t(mark(p, r)));
}

struct Trace {
    std::vector<int> rows;  // marks of the rows processed, in order
    std::vector<int> stops; // ticks (0-based) that reported the stop
};

Trace run(Engine *engine, int ticks)
{
    Trace trace;
    for (int i = 0; i < ticks; ++i) {
        engine->globalVolume = 0;
        if (runTick(engine))
            trace.stops.push_back(i);
        if (engine->globalVolume)
            trace.rows.push_back(engine->globalVolume);
    }
    return trace;
}

class Sequencer : public enginetest::HostTest {
protected:
    void TearDown() override
    {
        destroyEngine(engine);
        HostTest::TearDown();
    }
    void create(TestModule module)
    {
        song.emplace(std::move(module));
        engine = createEngine(song->module(), 44100, 64);
        ASSERT_NE(engine, nullptr);
    }
    std::optional<TestModule> song; // outlives the engine until TearDown
    Engine *engine = nullptr;
};

using V = std::vector<int>;

struct Effect {
    unsigned pattern, row, track;
    uint8_t effect, param;
};

// A song of one order list over patterns of equal length, every row marked.
struct SongCase {
    const char *rule;
    std::vector<uint16_t> orders;
    uint16_t patterns, rows;
    std::vector<Effect> effects; // in the first effect column
    int ticks;
    V processed; // the marks of the rows processed, in order
    V stops;     // the ticks that reported the stop
};

} // namespace

// At speed 1 every tick starts a row and the arpeggio phase restarts at 0.
TEST_F(Sequencer, SpeedOneStartsARowEveryTick)
{
    TestModule m(4, {{0}}, {8});
    markAll(m, 1, 8);
    m.effect(0, 0, 0, SPEED, 1);
    create(m);
    for (int i = 0; i < 5; ++i) {
        engine->globalVolume = 0;
        EXPECT_EQ(runTick(engine), 0u);
        EXPECT_EQ(engine->globalVolume, mark(0, i));
        EXPECT_EQ(engine->tick, 0);
        EXPECT_EQ(engine->arpeggioPhase, 1); // 0 during the tick, advanced after it
    }
}

// Stops, row delays, the end of the order list, jumps and breaks play the rows
// they state, in order, and report the stop at the ticks they state.
TEST_F(Sequencer, RowsPlayedAndStops)
{
    const SongCase cases[] = {
        {"a stop command's row plays in full; every later row start reports the stop", {0}, 1, 8,
         {{0, 1, 0, SPEED, 0}}, 30, {mark(0, 0), mark(0, 1)}, {12, 18, 24}},
        {"a row delay on the stop's row replaces the stop: the song goes on", {0}, 1, 8,
         {{0, 1, 0, SPEED, 0}, {0, 1, 1, EXTENDED, 0xE1}}, 24, {mark(0, 0), mark(0, 1), mark(0, 2)}, {}},
        {"past the last row of the last order the first row plays once more, then the song stops", {0, 1}, 2, 2,
         {}, 42, {mark(0, 0), mark(0, 1), mark(1, 0), mark(1, 1), mark(0, 0)}, {30, 36}},
        {"a position jump beyond the order list goes to order 0, row 0, without stopping", {0, 1, 2}, 3, 4,
         {{1, 1, 0, JUMP, 200}}, 8 * 6,
         {mark(0, 0), mark(0, 1), mark(0, 2), mark(0, 3), mark(1, 0), mark(1, 1), mark(0, 0), mark(0, 1)}, {}},
        {"a break on the last row of a pattern lands in the next pattern, not the one after", {0, 1, 2}, 3, 4,
         {{0, 3, 0, BREAK, 0x02}}, 6 * 6,
         {mark(0, 0), mark(0, 1), mark(0, 2), mark(0, 3), mark(1, 2), mark(1, 3)}, {}},
        {"a jump and a break on one row: the break row applies in the jumped-to pattern", {0, 1, 2}, 3, 4,
         {{0, 1, 0, JUMP, 2}, {0, 1, 1, BREAK, 0x03}}, 3 * 6, {mark(0, 0), mark(0, 1), mark(2, 3)}, {}},
        {"a row holding a delay and a break is held first; the break follows", {0, 1}, 2, 4,
         {{0, 1, 0, EXTENDED, 0xE1}, {0, 1, 1, BREAK, 0x02}}, 24, {mark(0, 0), mark(0, 1), mark(1, 2)}, {}},
    };
    for (const SongCase &c : cases) {
        SCOPED_TRACE(c.rule);
        TestModule m(4, {c.orders}, std::vector<uint16_t>(c.patterns, c.rows));
        markAll(m, c.patterns, c.rows);
        for (const Effect &e : c.effects)
            m.effect(e.pattern, e.row, e.track, e.effect, e.param);
        destroyEngine(engine);
        create(m);
        const Trace trace = run(engine, c.ticks);
        EXPECT_EQ(trace.rows, c.processed);
        EXPECT_EQ(trace.stops, c.stops);
    }
}

// A row delay of 2 holds the row for 2 x speed more ticks while its slides go on.
TEST_F(Sequencer, RowDelayHoldsTheRowWithItsState)
{
    TestModule m(4, {{0}}, {8});
    markAll(m, 1, 8);
    m.effect(0, 1, 0, SET_VOLUME, 64);
    m.effect2(0, 1, 0, VOLUME_SLIDE, 0x01); // down 1 per tick
    m.effect(0, 1, 1, EXTENDED, 0xE2);
    create(m);
    Trace trace = run(engine, 12);
    EXPECT_EQ(trace.rows, (V{mark(0, 0), mark(0, 1)}));
    trace = run(engine, 12); // the two held rows
    EXPECT_TRUE(trace.rows.empty());
    trace = run(engine, 1);
    EXPECT_EQ(trace.rows, (V{mark(0, 2)}));
    // 5 ticks of row 1, 12 held ticks and this row start's slide: 64 - 18.
    EXPECT_EQ(engine->tracks[0].volume, (64 - 18) * 6);
}

// A break to a row past the target pattern lands on its last row.
TEST_F(Sequencer, BreakPastPatternLandsOnLastRow)
{
    TestModule m(4, {{0, 1}}, {4, 64});
    m.effect(0, 0, 0, BREAK, 0x70);
    m.effect2(1, 63, MARK_TRACK, SET_GLOBAL_VOLUME, 63);
    create(m);
    const Trace trace = run(engine, 12);
    EXPECT_EQ(trace.rows, (V{63}));
    EXPECT_EQ(engine->songEnded, 1u); // row 63 was the song's last
}

// Speed and tempo commands take effect at their own row start: ticks per row
// and the tick length change there, and the limits follow the speed.
TEST_F(Sequencer, SpeedAndTempoAtRowStart)
{
    TestModule m(4, {{0}}, {8});
    m.effect(0, 0, 0, SPEED, 3);
    m.effect2(0, 0, 1, SPEED, 150);
    create(m);
    runTick(engine);
    EXPECT_EQ(engine->speed, 3);
    EXPECT_EQ(engine->tempo, 150);
    EXPECT_EQ(engine->framesLeftInTick, 735u); // 220500 / 300
    EXPECT_EQ(engine->volumeMax, 192);
    EXPECT_EQ(engine->panMin, -384);
    EXPECT_EQ(engine->pitchMin, 288);
    EXPECT_EQ(engine->pitchMax, 2592);
}

// Row starts divide the held values by the old speed and multiply by the new.
TEST_F(Sequencer, RowStartRescalesTrackValues)
{
    TestModule m(4, {{0}}, {8});
    m.effect(0, 0, 0, SPEED, 4);
    create(m);
    TrackState &track = engine->tracks[2];
    track.volume = 6 * 40 + 5;
    track.panning = -6 * 20 - 5;
    track.pitch = 6 * 400;
    track.vibratoDepth = 9;
    track.arpeggioOffsets[2] = 16;
    unscaleTracks(engine);
    EXPECT_EQ(track.volume, 40);
    EXPECT_EQ(track.panning, -20); // truncated toward zero
    EXPECT_EQ(track.vibratoDepth, 0);
    EXPECT_EQ(track.arpeggioOffsets[2], 0);
    scanSpeedCommands(engine);
    rescaleTracks(engine);
    EXPECT_EQ(track.volume, 160);
    EXPECT_EQ(track.panning, -80);
    EXPECT_EQ(track.pitch, 1600);
}

// Pending requests by hand: a loop jump overrides a jump and a break of the
// same row; an ended order list arms the stop; all requests are cleared.
TEST_F(Sequencer, LoopJumpOverridesJumpAndBreak)
{
    TestModule m(4, {{0, 1, 2}}, {4, 4, 4});
    create(m);
    engine->jumpOrder = 2;
    engine->breakRow = 1;
    engine->loopJump = 0;
    engine->loopOrder = 1;
    engine->loopRow = 3;
    engine->songEnded = 1;
    applyPendingJumps(engine);
    EXPECT_EQ(engine->orderPosition, 1);
    EXPECT_EQ(engine->currentRow, 3);
    EXPECT_EQ(engine->currentPattern, 1u);
    EXPECT_EQ(engine->rowDelay, ROW_DELAY_HALT);
    EXPECT_EQ(engine->jumpOrder, -1);
    EXPECT_EQ(engine->breakRow, -1);
    EXPECT_EQ(engine->loopJump, -1);
    EXPECT_EQ(engine->songEnded, 0u);
}

// A break from inside a pattern on the last order wraps to order 0 without arming the stop.
TEST_F(Sequencer, BreakFromLastOrderWraps)
{
    TestModule m(4, {{0, 1}}, {4, 4});
    create(m);
    engine->orderPosition = 1;
    engine->currentPattern = 1;
    engine->currentRow = 2;
    engine->breakRow = 3;
    applyPendingJumps(engine);
    EXPECT_EQ(engine->orderPosition, 0);
    EXPECT_EQ(engine->currentRow, 3);
    EXPECT_EQ(engine->rowDelay, 0);
}

// A song without orders never reads its missing order list: the order
// advance stays at 0 and arms the stop, requests fall back to pattern 0, and
// the song reports the stop from its first row start.
TEST_F(Sequencer, SongWithoutOrdersIsSafe)
{
    TestModule m(4, {{0}, {}}, {4});
    create(m);
    setPosition(engine, 1, 0, 0);
    advanceOrder(engine);
    EXPECT_EQ(engine->orderPosition, 0);
    EXPECT_EQ(engine->songEnded, 1u);
    EXPECT_EQ(engine->currentPattern, 0u);
    engine->jumpOrder = 5;
    engine->breakRow = 2;
    applyPendingJumps(engine);
    EXPECT_EQ(engine->orderPosition, 0);
    EXPECT_EQ(engine->currentRow, 2);
    EXPECT_EQ(runTick(engine), 1u);
}
