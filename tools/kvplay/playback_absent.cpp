// Playback in a kvplay built without SDL2 (DBM_PLAYBACK=OFF).

#include "tools/kvplay/playback.h"

#include <cstdio>

namespace kvplay {
namespace {

int notBuiltIn()
{
    std::fprintf(stderr, "kvplay: playback is not built in (kvplay was built without SDL2); "
                         "render with -o instead\n");
    return 2;
}

} // namespace

int playModules(const std::vector<RenderJob> &, const Options &, const StreamPlugin &)
{
    return notBuiltIn();
}

int listOutputDevices()
{
    return notBuiltIn();
}

} // namespace kvplay
