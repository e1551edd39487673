// Playing: song selection, rendering, seeking, the position and the mutes.
#include "lib/player.h"
#include "lib/services.h"

#include "engine/duration.h"
#include "engine/sequencer.h"
#include "engine/stream_render.h"

#include <cstdint>

using namespace dbmplay;

namespace {

// Frames rendered per piece when output is thrown away; on the stack.
constexpr uint32_t DISCARD_FRAMES = 1024;
// Frames per renderRequest call: a size its 32-bit count always holds.
constexpr size_t REQUEST_FRAMES = size_t(1) << 24;

bool validTrack(const dbmplay_player *player, int track)
{
    return player && track >= 0 && track < player->module->trackCount;
}

// Renders and throws away frames until the timeline reaches `frame`.
void discardUntil(dbmplay_player &player, uint64_t frame)
{
    int16_t scratch[2 * DISCARD_FRAMES];
    while (player.frame < frame) {
        const uint64_t left = frame - player.frame;
        const uint32_t n = left < DISCARD_FRAMES ? uint32_t(left) : DISCARD_FRAMES;
        dbm::renderRequest(player.engine, n, scratch, UINT32_MAX);
        player.frame += n;
    }
}

// Moves along the current timeline (starting it over when `frame` lies
// behind, or when `restart` asks for a fresh start); within a ServiceCall.
int seekTimeline(dbmplay_player &player, uint64_t frame, int32_t startOrder, bool restart)
{
    if (restart || frame < player.frame) {
        dbm::Engine *engine = startEngine(player, player.song, startOrder);
        if (!engine)
            return DBMPLAY_ERROR_MEMORY;
        replaceEngine(player, engine, player.song, startOrder);
    }
    discardUntil(player, frame);
    return DBMPLAY_OK;
}

} // namespace

extern "C" DBMPLAY_API int dbmplay_select_song(dbmplay_player *player, int song)
{
    if (!player || song < 0 || song >= player->module->songCount || !player->module->songs[song])
        return DBMPLAY_ERROR_ARGUMENT;
    ServiceCall call(player->allocator);
    dbm::Engine *engine = startEngine(*player, uint32_t(song), 0);
    if (!engine)
        return DBMPLAY_ERROR_MEMORY;
    replaceEngine(*player, engine, uint32_t(song), 0);
    return DBMPLAY_OK;
}

extern "C" DBMPLAY_API int dbmplay_render(dbmplay_player *player, int16_t *buffer, size_t frames)
{
    if (!player || (!buffer && frames > 0))
        return DBMPLAY_ERROR_ARGUMENT;
    ServiceCall call(player->allocator);
    while (frames > 0) {
        const uint32_t n = uint32_t(frames < REQUEST_FRAMES ? frames : REQUEST_FRAMES);
        dbm::renderRequest(player->engine, n, buffer, UINT32_MAX);
        buffer += 2 * size_t(n);
        frames -= n;
        player->frame += n;
    }
    return call.memoryFailed() ? DBMPLAY_ERROR_MEMORY : DBMPLAY_OK;
}

extern "C" DBMPLAY_API int dbmplay_seek(dbmplay_player *player, uint64_t frame)
{
    if (!player || frame > DBMPLAY_MAX_SEEK_FRAMES)
        return DBMPLAY_ERROR_ARGUMENT;
    ServiceCall call(player->allocator);
    // Frames count from the song's start unless the timeline starts at an
    // order the song never reaches: then they count from there.
    const int result = seekTimeline(*player, frame, player->startOrder, false);
    return result == DBMPLAY_OK && call.memoryFailed() ? DBMPLAY_ERROR_MEMORY : result;
}

extern "C" DBMPLAY_API int dbmplay_seek_order(dbmplay_player *player, int order)
{
    if (!player || order < 0 || order >= dbmplay_order_count(player, int(player->song)))
        return DBMPLAY_ERROR_ARGUMENT;
    ServiceCall call(player->allocator);
    const dbm::OrderStart start =
        dbm::scanOrderStart(player->module, dbm::STREAM_RATE, player->song, int32_t(order));
    if (!start.valid)
        return DBMPLAY_ERROR_MEMORY;
    const int result = start.found ? seekTimeline(*player, start.frame, 0, player->startOrder != 0)
                                   : seekTimeline(*player, 0, int32_t(order), true);
    return result == DBMPLAY_OK && call.memoryFailed() ? DBMPLAY_ERROR_MEMORY : result;
}

extern "C" DBMPLAY_API int dbmplay_get_position(const dbmplay_player *player, dbmplay_position *position)
{
    if (!player || !position)
        return DBMPLAY_ERROR_ARGUMENT;
    const dbm::Engine &engine = *player->engine;
    position->frame = player->frame;
    position->song = int(player->song);
    position->order = engine.playedOrder;
    position->pattern = int(engine.playedPattern);
    position->row = engine.playedRow;
    // The tick counter already names the tick after the one rendered last.
    position->tick = player->frame == 0 ? 0 : engine.tick == 0 ? engine.speed - 1 : engine.tick - 1;
    position->ended = dbm::songStopped(&engine) ? 1 : 0;
    return DBMPLAY_OK;
}

extern "C" DBMPLAY_API int dbmplay_mute_track(dbmplay_player *player, int track, int muted)
{
    if (!validTrack(player, track))
        return DBMPLAY_ERROR_ARGUMENT;
    player->engine->tracks[track].muted = muted != 0;
    return DBMPLAY_OK;
}

extern "C" DBMPLAY_API int dbmplay_track_muted(const dbmplay_player *player, int track)
{
    if (!validTrack(player, track))
        return -1;
    return player->engine->tracks[track].muted ? 1 : 0;
}

extern "C" DBMPLAY_API int dbmplay_get_song_length(dbmplay_player *player, int song, dbmplay_song_length *length)
{
    if (!player || !length || song < 0 || song >= player->module->songCount || !player->module->songs[song])
        return DBMPLAY_ERROR_ARGUMENT;
    ServiceCall call(player->allocator);
    const dbm::SongDuration d = dbm::scanSongDuration(player->module, dbm::STREAM_RATE, uint32_t(song));
    if (!d.valid)
        return DBMPLAY_ERROR_MEMORY;
    if (d.stops)
        *length = {d.frames, d.frames, DBMPLAY_SONG_STOPS};
    else if (d.loops)
        *length = {d.loopEnd, d.loopStart, DBMPLAY_SONG_LOOPS};
    else
        *length = {d.frames, d.frames, DBMPLAY_SONG_ENDLESS};
    return DBMPLAY_OK;
}
