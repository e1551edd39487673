// What one output rendered through libdbmplay plays: a song of a module from
// a start point, with some tracks heard, to a planned end.
#pragma once

#include "dbmplay.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvplay {

struct LibraryPlay {
    const uint8_t *memory = nullptr; // the module's bytes when it is in memory (the demo); null: a path
    size_t memorySize = 0;
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

} // namespace kvplay

namespace kvplay {

// Opens the module of a job for `play`: from memory when play.memory is set,
// else the file at `path`. Null with `error` set to the reader's code.
dbmplay_player *openLibraryPlayer(const std::string &path, const LibraryPlay &play, int &error);

} // namespace kvplay
