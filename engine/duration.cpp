#include "engine/duration.h"

#include "engine/lifecycle.h"
#include "engine/sequencer.h"

namespace dbm {

namespace {

constexpr uint64_t CAP_SECONDS = 4 * 60 * 60;

// Everything that decides where the song goes next, taken at a row start.
// Per-track sound state never changes the course of the song, so equal
// snapshots mean the song repeats from here for ever.
struct CourseState {
    uint32_t currentPattern;
    int32_t currentRow, orderPosition, speed, tempo, rowDelay;
    uint32_t songEnded;
    int32_t breakRow, jumpOrder, loopJump, loopCount, loopOrder, loopRow;

    bool operator==(const CourseState &o) const
    {
        return currentPattern == o.currentPattern && currentRow == o.currentRow &&
               orderPosition == o.orderPosition && speed == o.speed && tempo == o.tempo &&
               rowDelay == o.rowDelay && songEnded == o.songEnded && breakRow == o.breakRow &&
               jumpOrder == o.jumpOrder && loopJump == o.loopJump && loopCount == o.loopCount &&
               loopOrder == o.loopOrder && loopRow == o.loopRow;
    }
};

CourseState courseOf(const Engine *e)
{
    return {e->currentPattern, e->currentRow, e->orderPosition, e->speed,     e->tempo,
            e->rowDelay,       e->songEnded,  e->breakRow,      e->jumpOrder, e->loopJump,
            e->loopCount,      e->loopOrder,  e->loopRow};
}

// A scanning engine at the start of `song`, or null.
Engine *scanEngine(const Module *module, uint32_t sampleRate, uint32_t song)
{
    if (!module || song >= module->songCount || !module->songs || !module->songs[song])
        return nullptr;
    Engine *engine = createEngine(module, sampleRate, 1);
    if (engine)
        setPosition(engine, song, 0, 0);
    return engine;
}

// One row of a scan: the ticks from a row start (tick 0) to the next, their
// lengths added to `frames`. `course` is taken right after the row start,
// when its jumps have been carried out, so a row reached by a jump compares
// equal to the same row reached in order. Returns true when the row start
// reported the stop; `frames` then ends with that tick.
bool scanRow(Engine *engine, uint64_t &frames, CourseState &course)
{
    const uint32_t stopped = runTick(engine);
    frames += engine->framesLeftInTick;
    course = courseOf(engine);
    if (stopped)
        return true;
    while (engine->tick != 0) {
        runTick(engine);
        frames += engine->framesLeftInTick;
    }
    return false;
}

// The song repeats with a cycle of `cycle` rows: finds the first row the
// cycle comes back to, by running a second engine `cycle` rows ahead of a
// first one until their courses meet.
bool findLoop(const Module *module, uint32_t sampleRate, uint32_t song, uint64_t cycle,
              SongDuration &result)
{
    Engine *trail = scanEngine(module, sampleRate, song);
    Engine *lead = scanEngine(module, sampleRate, song);
    const bool made = trail && lead;
    uint64_t trailFrames = 0, leadFrames = 0;
    CourseState trailCourse{}, leadCourse{};
    for (uint64_t i = 0; made && i < cycle; ++i)
        scanRow(lead, leadFrames, leadCourse);
    for (bool met = !made; !met;) {
        const uint64_t trailStart = trailFrames, leadStart = leadFrames;
        scanRow(trail, trailFrames, trailCourse);
        scanRow(lead, leadFrames, leadCourse);
        if (trailCourse == leadCourse) {
            result.loops = true;
            result.loopStart = trailStart;
            result.loopEnd = leadStart;
            met = true;
        }
    }
    destroyEngine(trail);
    destroyEngine(lead);
    return made;
}

} // namespace

SongDuration scanSongDuration(const Module *module, uint32_t sampleRate, uint32_t song)
{
    Engine *engine = scanEngine(module, sampleRate, song);
    if (!engine)
        return {false, false, 0, false, 0, 0};

    const uint64_t cap = CAP_SECONDS * sampleRate;
    SongDuration result{true, false, cap, false, 0, 0};
    uint64_t frames = 0;
    // Repetition is found by comparing each row with one saved row, saved
    // again whenever the distance reaches the next power of two: constant
    // memory, and a cycle is met within twice its start plus length. The
    // first match after a save gives the cycle's length exactly.
    CourseState saved{}, now{};
    uint64_t rows = 0, savedAt = 0, nextSave = 1;
    uint64_t cycle = 0;
    while (frames < cap) {
        if (scanRow(engine, frames, now)) {
            result.stops = true;
            result.frames = frames;
            break;
        }
        ++rows;
        if (savedAt > 0 && now == saved) {
            cycle = rows - savedAt;
            break;
        }
        if (rows == nextSave) {
            saved = now;
            savedAt = rows;
            nextSave *= 2;
        }
    }
    destroyEngine(engine);
    if (cycle > 0 && !findLoop(module, sampleRate, song, cycle, result))
        return {false, false, 0, false, 0, 0};
    return result;
}

OrderStart scanOrderStart(const Module *module, uint32_t sampleRate, uint32_t song, int32_t order)
{
    const SongDuration duration = scanSongDuration(module, sampleRate, song);
    Engine *engine = duration.valid ? scanEngine(module, sampleRate, song) : nullptr;
    if (!engine)
        return {false, false, 0};
    // Every row start of the song lies before this frame.
    const uint64_t end = duration.loops ? duration.loopEnd : duration.frames;
    OrderStart result{true, false, 0};
    uint64_t frames = 0;
    while (frames < end) {
        const uint32_t stopped = runTick(engine);
        if (stopped)
            break;
        // The row played changes only at a row start, so the first tick that
        // leaves it in the order position is that position's first row start.
        if (engine->playedOrder == order) {
            result.found = true;
            result.frame = frames;
            break;
        }
        frames += engine->framesLeftInTick;
    }
    destroyEngine(engine);
    return result;
}

} // namespace dbm
