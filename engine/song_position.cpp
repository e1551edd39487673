#include "engine/song_position.h"

namespace dbm {

const Song *currentSongRecord(const Engine *engine)
{
    const Module *module = engine->module;
    if (!module->songs || engine->currentSong >= module->songCount)
        return nullptr;
    return module->songs[engine->currentSong];
}

int32_t orderCount(const Engine *engine)
{
    const Song *song = currentSongRecord(engine);
    return song && song->orders ? song->orderCount : 0;
}

uint32_t orderEntry(const Engine *engine, int32_t position)
{
    if (position < 0 || position >= orderCount(engine))
        return 0;
    return currentSongRecord(engine)->orders[position];
}

const Pattern *patternRecord(const Engine *engine, uint32_t pattern)
{
    const Module *module = engine->module;
    if (!module->patterns || pattern >= module->patternCount)
        return nullptr;
    return module->patterns[pattern];
}

int32_t patternRows(const Engine *engine, uint32_t pattern)
{
    const Pattern *record = patternRecord(engine, pattern);
    return record ? record->rows : 0;
}

} // namespace dbm
