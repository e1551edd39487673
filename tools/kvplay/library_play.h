// What one output rendered through libdbmplay plays: a song of a module from
// a start point, with some tracks heard, to a planned end.
#pragma once

#include "dbmplay.h"
#include "tools/kvplay/module_source.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kvplay {

struct LibraryPlay {
    int song = 0;
    std::vector<bool> heard;          // per track (0-based): false leaves it out of the mix
    int stem = -1;                    // -1: this output is the mix of the heard tracks; otherwise
                                      // only this track (0-based); the heard mix still decides
                                      // where the output ends, so all stems are as long as it
    uint64_t startFrame = 0;          // where the output starts, in frames from the song's start
    int startOrder = -1;              // >= 0: it starts where the song first plays this order
                                      // position instead (startFrame is not used)
    dbmplay_song_length length{};     // the song's length, scanned when the job was planned
    std::optional<unsigned> repeat;   // a looping song's loop played this many more times
    bool planned = false;             // false: the module could not be opened when planning
};

struct PlayerCloser {
    void operator()(dbmplay_player *player) const { dbmplay_close(player); }
};
using PlayerPtr = std::unique_ptr<dbmplay_player, PlayerCloser>;

// Opens `source` in the player library: from its bytes when it is in
// memory, else from its path. The player takes its memory from our host's
// budget (host/memory_budget.h), like the plug-in. Null on failure.
PlayerPtr openLibraryPlayer(const ModuleSource &source);

} // namespace kvplay
