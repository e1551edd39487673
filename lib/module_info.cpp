// What the module holds: names, counts and echo use. Nothing here allocates.
#include "lib/player.h"

namespace {

const char *text(const char *name)
{
    return name ? name : "";
}

bool inRange(int index, unsigned count)
{
    return index >= 0 && static_cast<unsigned>(index) < count;
}

// Effect 31 with one of these parameters switches an echo on.
constexpr uint8_t EFFECT_ECHO_SWITCH = 31;
bool switchesEchoOn(uint8_t effect, uint8_t parameter)
{
    return effect == EFFECT_ECHO_SWITCH && (parameter == 0x00 || parameter == 0x10 || parameter == 0x20);
}

bool patternSwitchesEchoOn(const dbm::Pattern *pattern, uint32_t tracks)
{
    if (!pattern || !pattern->entries)
        return false;
    const uint32_t entries = uint32_t(pattern->rows) * tracks;
    for (uint32_t i = 0; i < entries; ++i) {
        const dbm::PatternEntry &e = pattern->entries[i];
        if (switchesEchoOn(e.effect1, e.param1) || switchesEchoOn(e.effect2, e.param2))
            return true;
    }
    return false;
}

} // namespace

extern "C" DBMPLAY_API const char *dbmplay_module_name(const dbmplay_player *player)
{
    return player ? text(player->module->name) : nullptr;
}

extern "C" DBMPLAY_API int dbmplay_track_count(const dbmplay_player *player)
{
    return player ? player->module->trackCount : 0;
}

extern "C" DBMPLAY_API int dbmplay_song_count(const dbmplay_player *player)
{
    return player ? player->module->songCount : 0;
}

extern "C" DBMPLAY_API const char *dbmplay_song_name(const dbmplay_player *player, int song)
{
    if (!player || !inRange(song, player->module->songCount) || !player->module->songs[song])
        return nullptr;
    return text(player->module->songs[song]->name);
}

extern "C" DBMPLAY_API int dbmplay_order_count(const dbmplay_player *player, int song)
{
    if (!player || !inRange(song, player->module->songCount) || !player->module->songs[song])
        return 0;
    return player->module->songs[song]->orderCount;
}

extern "C" DBMPLAY_API int dbmplay_instrument_count(const dbmplay_player *player)
{
    return player ? player->module->instrumentCount : 0;
}

extern "C" DBMPLAY_API const char *dbmplay_instrument_name(const dbmplay_player *player, int instrument)
{
    if (!player || !inRange(instrument, player->module->instrumentCount) ||
        !player->module->instruments[instrument])
        return nullptr;
    return text(player->module->instruments[instrument]->name);
}

extern "C" DBMPLAY_API int dbmplay_sample_count(const dbmplay_player *player)
{
    return player ? player->module->sampleCount : 0;
}

extern "C" DBMPLAY_API long dbmplay_sample_frames(const dbmplay_player *player, int sample)
{
    if (!player || !inRange(sample, player->module->sampleCount) || !player->module->samples[sample])
        return -1;
    return static_cast<long>(player->module->samples[sample]->length);
}

extern "C" DBMPLAY_API int dbmplay_uses_echo(const dbmplay_player *player)
{
    if (!player)
        return 0;
    const dbm::Module &m = *player->module;
    for (uint32_t t = 0; m.trackFlags && t < m.trackCount; ++t)
        if (m.trackFlags[t] & dbm::TRACK_FLAG_ECHO)
            return 1;
    for (uint32_t p = 0; m.patterns && p < m.patternCount; ++p)
        if (patternSwitchesEchoOn(m.patterns[p], m.trackCount))
            return 1;
    return 0;
}
