// openSong's half for the hosted plug-in's stream (song_stream.h).

#include "tools/kvplay/song_stream.h"
#include "tools/kvplay/stream_plugin.h"

namespace kvplay {
namespace {

// An open stream of the plug-in as a FrameSource; closed with it.
class PluginSource : public FrameSource {
public:
    PluginSource(const StreamPlugin &plugin, void *stream) : plugin_(plugin), stream_(stream) {}
    ~PluginSource() override { plugin_.close(stream_); }
    PluginSource(const PluginSource &) = delete;
    PluginSource &operator=(const PluginSource &) = delete;

    uint32_t pull(int16_t *out, uint32_t frames, const int16_t *&judged) override
    {
        judged = out;
        return plugin_.pull(stream_, out, frames);
    }
    void rewind() override { plugin_.rewind(stream_); }

private:
    const StreamPlugin &plugin_;
    void *stream_;
};

} // namespace

std::unique_ptr<SongStream> openPluginSong(const RenderJob &job, const Options &options, const StreamPlugin &plugin,
                                           const Notice &notice, std::string &error)
{
    const std::string &name = job.source.display;
    auto song = std::make_unique<SongStream>();
    std::string reason;
    bool endsEarly = false;
    song->module = loadModuleFile(job.source, reason, endsEarly);
    if (!song->module) {
        error = name + ": " + reason;
        return nullptr;
    }
    if (endsEarly)
        notice(endsEarlyWarning(job.source));
    const dbm::Module &module = *song->module;
    const dbm::SongDuration duration = dbm::scanSongDuration(&module, OUTPUT_RATE);
    if (!duration.valid) {
        error = name + ": the song cannot be played";
        return nullptr;
    }
    song->about.songs = module.songCount;
    for (uint16_t t = 0; t < module.trackCount; ++t)
        song->about.echo = song->about.echo || (module.trackFlags[t] & dbm::TRACK_FLAG_ECHO);
    song->plan = planLength(duration, options.seconds, options.tail.value_or(DEFAULT_TAIL));
    if (!duration.stops)
        notice(endlessSongNotice(name, song->plan.songFrames, duration.loops && !options.seconds,
                                 options.play));
    void *stream = plugin.open(job.source.hostName);
    if (!stream) {
        error = name + ": the plug-in cannot open it";
        return nullptr;
    }
    song->source = std::make_unique<PluginSource>(plugin, stream);
    return song;
}

} // namespace kvplay
