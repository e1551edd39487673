// One job's song, opened and ready to be read, whichever player serves it:
// the hosted plug-in's stream, or libdbmplay for the song and track choices
// (job.library). Rendering (render_job.h) and playback (playback.h) read the
// same frames from it.
#pragma once

#include "tools/kvplay/options.h"
#include "tools/kvplay/planned_stream.h"
#include "tools/kvplay/render_job.h"
#include "tools/kvplay/static_core.h"
#include "tools/kvplay/summary.h"

#include <functional>
#include <memory>
#include <string>

namespace kvplay {

class StreamPlugin;

struct SongStream {
    std::unique_ptr<FrameSource> source;
    LengthPlan plan;
    std::unique_ptr<PlannedStream> frames; // `source` read to `plan`
    RenderedFile about;                    // the module's songs and echo, for the summary line
    ModulePtr module;                      // kvplay's own copy, for playback's song clock; may be null
    int song = 0;                          // the song played
    uint64_t start = 0;                    // the frame of the song that frames start at
};

// Where warnings and notices go (the file ends early, the song never stops).
using Notice = std::function<void(const std::string &line)>;

// Opens the job's song, planned by --seconds and --tail. Null with `error`
// set to one line naming the file and the reason.
std::unique_ptr<SongStream> openSong(const RenderJob &job, const Options &options, const StreamPlugin &plugin,
                                     const Notice &notice, std::string &error);

// The two players' halves of openSong.
std::unique_ptr<SongStream> openPluginSong(const RenderJob &job, const Options &options, const StreamPlugin &plugin,
                                           const Notice &notice, std::string &error);
std::unique_ptr<SongStream> openLibrarySong(const RenderJob &job, const Options &options, const Notice &notice,
                                            std::string &error);

// The notice for a song cut short because it never stops, rendered to
// `songFrames` with a fade-out (or played: `playing`); `repeatable`: it
// loops, and --repeat could have ended it.
std::string endlessSongNotice(const std::string &name, uint64_t songFrames, bool repeatable, bool playing);

} // namespace kvplay
