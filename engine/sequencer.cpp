#include "engine/sequencer.h"

#include "base/fixed_point.h"
#include "engine/parameters.h"
#include "engine/render.h"
#include "engine/rows.h"
#include "engine/song_position.h"

namespace dbm {

namespace {

constexpr uint8_t EFFECT_SPEED_TEMPO = 15;
constexpr int32_t ROW_DELAY_MAX = 15;

void clearPendingJumps(Engine *engine)
{
    engine->songEnded = 0;
    engine->breakRow = -1;
    engine->jumpOrder = -1;
    engine->loopJump = -1;
}

void takeSpeedCommand(Engine *engine, uint8_t effect, uint8_t parameter)
{
    if (effect != EFFECT_SPEED_TEMPO)
        return;
    if (parameter == 0)
        engine->rowDelay = ROW_DELAY_HALT;
    else if (parameter < 32)
        engine->speed = parameter;
    else
        engine->tempo = parameter;
}

} // namespace

uint32_t runTick(Engine *engine)
{
    uint32_t stopped = 0;
    applySlides(engine);
    if (engine->tick == 0) {
        if (engine->rowDelay <= 0) {
            applyPendingJumps(engine);
            unscaleTracks(engine);
            scanSpeedCommands(engine);
            rescaleTracks(engine);
            processRow(engine);
        } else {
            const int32_t before = engine->rowDelay;
            engine->rowDelay = before - 1;
            if (before > ROW_DELAY_MAX)
                stopped = 1;
        }
    }
    runCountdowns(engine);
    stepEnvelopes(engine);
    pushTrackParameters(engine);
    engine->arpeggioPhase = static_cast<uint8_t>(engine->arpeggioPhase + 1);
    if (engine->arpeggioPhase > 2)
        engine->arpeggioPhase = 0;
    computeTickLength(engine);
    engine->tick += 1;
    if (engine->tick >= engine->speed)
        engine->tick = 0;
    return stopped;
}

bool songStopped(const Engine *engine)
{
    return engine->rowDelay > ROW_DELAY_MAX;
}

void applyPendingJumps(Engine *engine)
{
    const int32_t orders = orderCount(engine);
    if (engine->jumpOrder != -1) {
        engine->orderPosition = engine->jumpOrder < orders ? engine->jumpOrder : 0;
        engine->currentPattern = orderEntry(engine, engine->orderPosition);
        engine->currentRow = 0;
    }
    if (engine->breakRow != -1) {
        if (engine->jumpOrder == -1 && engine->currentRow > 0) {
            engine->orderPosition += 1;
            if (engine->orderPosition >= orders)
                engine->orderPosition = 0;
        }
        engine->currentPattern = orderEntry(engine, engine->orderPosition);
        const int32_t rows = patternRows(engine, engine->currentPattern);
        engine->currentRow = engine->breakRow < rows ? engine->breakRow : rows - 1;
        if (engine->currentRow < 0)
            engine->currentRow = 0;
    }
    if (engine->loopJump != -1) {
        engine->orderPosition = engine->loopOrder;
        engine->currentRow = engine->loopRow;
        engine->currentPattern = orderEntry(engine, engine->loopOrder);
    }
    if (engine->songEnded)
        engine->rowDelay = ROW_DELAY_HALT;
    clearPendingJumps(engine);
}

void advanceOrder(Engine *engine)
{
    engine->orderPosition += 1;
    if (engine->orderPosition >= orderCount(engine)) {
        engine->orderPosition = 0;
        engine->songEnded = 1;
    }
    engine->currentRow = 0;
    engine->currentPattern = orderEntry(engine, engine->orderPosition);
}

void advanceRow(Engine *engine)
{
    engine->currentRow += 1;
    if (engine->currentRow >= patternRows(engine, engine->currentPattern))
        advanceOrder(engine);
}

void scanSpeedCommands(Engine *engine)
{
    const Pattern *pattern = patternRecord(engine, engine->currentPattern);
    if (!pattern || !pattern->entries || engine->currentRow < 0 || engine->currentRow >= pattern->rows)
        return;
    const uint32_t tracks = engine->module->trackCount;
    const PatternEntry *row = pattern->entries + static_cast<uint32_t>(engine->currentRow) * tracks;
    for (uint32_t t = 0; t < tracks; ++t) {
        takeSpeedCommand(engine, row[t].effect1, row[t].param1);
        takeSpeedCommand(engine, row[t].effect2, row[t].param2);
    }
}

void unscaleTracks(Engine *engine)
{
    const int32_t speed = engine->speed;
    for (uint32_t t = 0; t < engine->module->trackCount; ++t) {
        TrackState &track = engine->tracks[t];
        track.volume /= speed;
        track.panning /= speed;
        track.pitch /= speed;
        clearRowMotion(track);
    }
    engine->globalVolumeSlide = 0;
    engine->arpeggioPhase = 0;
}

void clearRowMotion(TrackState &track)
{
    track.volumeSlide = 0;
    track.panSlide = 0;
    track.pitchSlide = 0;
    track.portamentoStep = 0;
    track.vibratoDepth = 0;
    track.vibratoSpeed = 0;
    track.arpeggioOffsets[1] = 0;
    track.arpeggioOffsets[2] = 0;
}

void rescaleTracks(Engine *engine)
{
    const int32_t speed = engine->speed;
    for (uint32_t t = 0; t < engine->module->trackCount; ++t) {
        TrackState &track = engine->tracks[t];
        track.volume = wrapMul(track.volume, speed);
        track.panning = wrapMul(track.panning, speed);
        track.pitch = wrapMul(track.pitch, speed);
    }
    engine->volumeMin = 0;
    engine->volumeMax = low16(64 * speed);
    engine->panMin = low16(-128 * speed);
    engine->panMax = low16(128 * speed);
    engine->pitchMin = low16(96 * speed);
    engine->pitchMax = low16(864 * speed);
}

} // namespace dbm
