#include "tools/kvplay/library_play.h"

namespace kvplay {

dbmplay_player *openLibraryPlayer(const std::string &path, const LibraryPlay &play, int &error)
{
    if (play.memory)
        return dbmplay_open_memory(play.memory, play.memorySize, nullptr, &error);
    return dbmplay_open_file(path.c_str(), nullptr, &error);
}

} // namespace kvplay
