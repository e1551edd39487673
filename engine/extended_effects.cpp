#include "engine/rows.h"

#include "base/fixed_point.h"

namespace dbm {

namespace {

int32_t atMost(int32_t value, int32_t limit)
{
    return value > limit ? limit : value;
}

int32_t atLeast(int32_t value, int32_t limit)
{
    return value < limit ? limit : value;
}

void clearPatternLoop(Engine *engine)
{
    engine->loopCount = 0;
    engine->loopOrder = 0;
    engine->loopRow = 0;
}

// y = 0 marks the loop start (kept while a loop runs); y > 0 ends the loop,
// so that the section plays y + 1 times in all.
void patternLoop(Engine *engine, int32_t y)
{
    if (y == 0) {
        if (engine->loopCount == 0) {
            engine->loopOrder = engine->orderPosition;
            engine->loopRow = engine->currentRow;
        }
        return;
    }
    if (engine->loopCount == 0) {
        engine->loopCount = y;
        engine->loopJump = 0;
        return;
    }
    engine->loopCount -= 1;
    if (engine->loopCount <= 0)
        clearPatternLoop(engine);
    else
        engine->loopJump = 0;
}

} // namespace

void applyExtendedEffect(Engine *engine, TrackState &track, uint8_t parameter)
{
    const int32_t y = parameter & 15;
    const int32_t amount = wrapMul(y, engine->speed);
    switch (parameter >> 4) {
    case 1: // fine pitch up
        track.pitch = atMost(wrapAdd(track.pitch, amount), engine->pitchMax);
        break;
    case 2: // fine pitch down
        track.pitch = atLeast(wrapSub(track.pitch, amount), engine->pitchMin);
        break;
    case 3:
        track.playBackwards = 1;
        break;
    case 4:
        if (parameter == 0x40)
            track.sounding = 0;
        break;
    case 6:
        patternLoop(engine, y);
        break;
    case 7: // high sample offset
        track.sampleOffset += static_cast<uint32_t>(y) << 16;
        break;
    case 8: // coarse panning
        track.panning = wrapMul(y * 16 - 128, engine->speed);
        break;
    case 9:
        track.retriggerInterval = y;
        break;
    case 10: // fine volume up
        track.volume = atMost(wrapAdd(track.volume, amount), engine->volumeMax);
        break;
    case 11: // fine volume down
        track.volume = atLeast(wrapSub(track.volume, amount), engine->volumeMin);
        break;
    case 12:
        track.cutCountdown = y;
        break;
    case 13:
        track.triggerCountdown = y;
        break;
    case 14:
        engine->rowDelay = y;
        break;
    default: // 0, 5, 15
        break;
    }
}

} // namespace dbm
