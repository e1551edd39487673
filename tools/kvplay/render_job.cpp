#include "tools/kvplay/render_job.h"

#include "tools/kvplay/planned_stream.h"
#include "tools/kvplay/progress.h"
#include "tools/kvplay/rendered_output.h"
#include "tools/kvplay/static_core.h"
#include "tools/kvplay/stream_plugin.h"

namespace kvplay {
namespace {

// The plug-in's stream as a FrameSource.
class PluginSource : public FrameSource {
public:
    PluginSource(const StreamPlugin &plugin, void *stream) : plugin_(plugin), stream_(stream) {}
    uint32_t pull(int16_t *out, uint32_t frames, const int16_t *&judged) override
    {
        judged = out;
        return plugin_.pull(stream_, out, frames);
    }

private:
    const StreamPlugin &plugin_;
    void *stream_;
};

} // namespace

bool renderModule(const RenderJob &job, const Options &options, const StreamPlugin &plugin,
                  Progress &progress, std::string &error)
{
    const std::string &name = job.source.display;
    std::string reason;
    dbm::SongDuration duration{};
    RenderedFile rendered;
    {
        bool endsEarly = false;
        ModulePtr module = loadModuleFile(job.source, reason, endsEarly);
        if (!module) {
            error = name + ": " + reason;
            return false;
        }
        if (endsEarly)
            progress.message(endsEarlyWarning(job.source));
        duration = dbm::scanSongDuration(module.get(), OUTPUT_RATE);
        rendered.songs = module->songCount;
        for (uint16_t t = 0; t < module->trackCount; ++t)
            rendered.echo = rendered.echo || (module->trackFlags[t] & dbm::TRACK_FLAG_ECHO);
    }
    if (!duration.valid) {
        error = name + ": the song cannot be played";
        return false;
    }
    const LengthPlan plan = planLength(duration, options.seconds, options.tail.value_or(DEFAULT_TAIL));
    if (!duration.stops)
        progress.message(endlessSongNotice(name, plan.songFrames, duration.loops && !options.seconds));

    void *stream = plugin.open(job.source.hostName);
    if (!stream) {
        error = name + ": the plug-in cannot open it";
        return false;
    }
    PluginSource source(plugin, stream);
    PlannedStream frames(source, plan);
    const bool ok = writeRendered(job, options, frames, plan, rendered, progress, error);
    plugin.close(stream);
    return ok;
}

} // namespace kvplay
