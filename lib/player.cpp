#include "lib/player.h"

#include "engine/lifecycle.h"
#include "engine/stream_render.h"

namespace dbmplay {

dbm::Engine *startEngine(const dbmplay_player &player, uint32_t song, int32_t order)
{
    dbm::Engine *engine = dbm::createStreamEngine(player.module);
    if (!engine)
        return nullptr;
    dbm::setPosition(engine, song, order, 0);
    if (player.engine)
        for (uint32_t t = 0; t < player.module->trackCount; ++t)
            engine->tracks[t].muted = player.engine->tracks[t].muted;
    return engine;
}

void replaceEngine(dbmplay_player &player, dbm::Engine *engine, uint32_t song, int32_t order)
{
    dbm::destroyEngine(player.engine);
    player.engine = engine;
    player.song = song;
    player.startOrder = order;
    player.frame = 0;
}

} // namespace dbmplay
