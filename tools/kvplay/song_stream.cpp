#include "tools/kvplay/song_stream.h"

#include <cstdio>

namespace kvplay {

std::unique_ptr<SongStream> openSong(const RenderJob &job, const Options &options, const StreamPlugin &plugin,
                                     const Notice &notice, std::string &error)
{
    std::unique_ptr<SongStream> song = job.library ? openLibrarySong(job, options, notice, error)
                                                   : openPluginSong(job, options, plugin, notice, error);
    if (song)
        song->frames = std::make_unique<PlannedStream>(*song->source, song->plan);
    return song;
}

std::string endlessSongNotice(const std::string &name, uint64_t songFrames, bool repeatable, bool playing)
{
    char line[160];
    std::snprintf(line, sizeof line, ": the song never stops; %s %g seconds with a fade-out%s",
                  playing ? "playing" : "rendering", double(songFrames) / OUTPUT_RATE,
                  repeatable ? " (--repeat N plays its loop N more times)" : "");
    return "kvplay: " + name + line;
}

} // namespace kvplay
