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

} // namespace

SongDuration scanSongDuration(const Module *module, uint32_t sampleRate)
{
    Engine *engine = createEngine(module, sampleRate, 1);
    if (!engine)
        return {false, false, 0};

    const uint64_t cap = CAP_SECONDS * sampleRate;
    SongDuration result{true, false, cap};
    uint64_t frames = 0;
    // Repetition is found by comparing each row start with one saved row
    // start, saved again whenever the distance reaches the next power of two:
    // constant memory, and a cycle is met within twice its start plus length.
    CourseState saved{};
    bool haveSaved = false;
    uint64_t rowStarts = 0, nextSave = 1;
    while (frames < cap) {
        if (engine->tick == 0) {
            const CourseState now = courseOf(engine);
            if (haveSaved && now == saved)
                break;
            if (++rowStarts == nextSave) {
                saved = now;
                haveSaved = true;
                nextSave *= 2;
            }
        }
        const uint32_t stopped = runTick(engine);
        frames += engine->framesLeftInTick;
        if (stopped) {
            result.stops = true;
            result.frames = frames;
            break;
        }
    }
    destroyEngine(engine);
    return result;
}

} // namespace dbm
