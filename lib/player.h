// The player record behind a dbmplay_player handle, and the two steps every
// change of song or position is made of.
//
// The player owns its module and engine; all its memory comes from its
// allocator, within a ServiceCall on that allocator. Its frame position
// counts from the start of a timeline: the song's start, or the first row of
// an order position the song never reaches (startOrder, see
// dbmplay_seek_order).
#pragma once

#include "dbmplay.h"
#include "engine/engine.h"
#include "module/module.h"

#include <cstdint>

struct dbmplay_player {
    dbmplay_allocator allocator;
    dbm::Module *module;
    dbm::Engine *engine;
    uint32_t song;
    int32_t startOrder;
    uint64_t frame; // frames rendered since the timeline's start
};

namespace dbmplay {

// A new engine at order `order`, row 0 of song `song` with the player's mutes,
// or null. Call within a ServiceCall on the player's allocator.
dbm::Engine *startEngine(const dbmplay_player &player, uint32_t song, int32_t order);
// Puts `engine` (from startEngine) in place of the player's engine, which it
// destroys, and sets the timeline to its start.
void replaceEngine(dbmplay_player &player, dbm::Engine *engine, uint32_t song, int32_t order);

} // namespace dbmplay
