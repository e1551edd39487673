// Opening and closing players.
#include "lib/player.h"
#include "lib/services.h"

#include "base/host_services.h"
#include "engine/lifecycle.h"
#include "module/loader.h"

namespace dbmplay {
namespace {

dbmplay_player *fail(int code, int *error)
{
    if (error)
        *error = code;
    return nullptr;
}

// Loads the module from `source` and makes the player, everything from
// `allocator`.
dbmplay_player *openPlayer(ModuleSource source, const dbmplay_allocator *given, int *error)
{
    const dbmplay_allocator *allocator = chooseAllocator(given);
    if (!allocator)
        return fail(DBMPLAY_ERROR_ARGUMENT, error);
    ServiceCall call(*allocator, &source);
    int32_t code = DBMPLAY_ERROR_MEMORY;
    dbm::Module *module = dbm::loadModule("", &code, nullptr, nullptr);
    if (!module)
        return fail(code, error);
    if (module->trackCount == 0) {
        // Nothing to mix: the engine refuses such a module.
        dbm::freeModule(module);
        return fail(DBMPLAY_ERROR_DATA, error);
    }
    dbmplay_player *player = dbm::hostNew<dbmplay_player>();
    if (player) {
        player->allocator = *allocator;
        player->module = module;
        player->engine = startEngine(*player, 0, 0);
    }
    if (!player || !player->engine) {
        dbm::hostDelete(player);
        dbm::freeModule(module);
        return fail(DBMPLAY_ERROR_MEMORY, error);
    }
    if (error)
        *error = DBMPLAY_OK;
    return player;
}

} // namespace
} // namespace dbmplay

using namespace dbmplay;

extern "C" DBMPLAY_API dbmplay_player *dbmplay_open_file(const char *path, const dbmplay_allocator *allocator,
                                                         int *error)
{
    if (!path)
        return fail(DBMPLAY_ERROR_ARGUMENT, error);
    return openPlayer(pathSource(path), allocator, error);
}

extern "C" DBMPLAY_API dbmplay_player *dbmplay_open_memory(const void *data, size_t size,
                                                           const dbmplay_allocator *allocator, int *error)
{
    if (!data && size > 0)
        return fail(DBMPLAY_ERROR_ARGUMENT, error);
    return openPlayer(memorySource(data, size), allocator, error);
}

extern "C" DBMPLAY_API dbmplay_player *dbmplay_open_reader(dbmplay_read_function read, void *user,
                                                           const dbmplay_allocator *allocator, int *error)
{
    if (!read)
        return fail(DBMPLAY_ERROR_ARGUMENT, error);
    return openPlayer(readerSource(read, user), allocator, error);
}

extern "C" DBMPLAY_API void dbmplay_close(dbmplay_player *player)
{
    if (!player)
        return;
    // The record holding the allocator is itself released last.
    const dbmplay_allocator allocator = player->allocator;
    ServiceCall call(allocator);
    dbm::destroyEngine(player->engine);
    dbm::freeModule(player->module);
    dbm::hostDelete(player);
}
