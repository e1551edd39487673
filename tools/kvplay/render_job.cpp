#include "tools/kvplay/render_job.h"

#include "tools/kvplay/audio_output.h"
#include "tools/kvplay/planned_stream.h"
#include "tools/kvplay/progress.h"
#include "tools/kvplay/static_core.h"
#include "tools/kvplay/stream_plugin.h"

#include <cstdio>
#include <vector>

namespace kvplay {
namespace {

constexpr uint32_t BLOCK_FRAMES = 4096;

// Writes every frame of `source` to `output`. False on a write error.
bool writeAll(PlannedStream &source, AudioOutput &output, Progress &progress, unsigned job)
{
    std::vector<int16_t> block(2 * size_t(BLOCK_FRAMES));
    while (uint32_t got = source.read(block.data(), BLOCK_FRAMES)) {
        if (!output.write(block.data(), got))
            return false;
        progress.advance(job, got);
    }
    return true;
}

} // namespace

bool renderModule(const RenderJob &job, std::optional<double> seconds, double tail,
                  const StreamPlugin &plugin, Progress &progress, std::string &error)
{
    std::string reason;
    dbm::SongDuration duration{};
    {
        ModulePtr module = loadModuleFile(job.source, job.display, reason);
        if (!module) {
            error = job.display + ": " + reason;
            return false;
        }
        duration = dbm::scanSongDuration(module.get(), OUTPUT_RATE);
    }
    if (!duration.valid) {
        error = job.display + ": the song cannot be played";
        return false;
    }
    const LengthPlan plan = planLength(duration, seconds, tail);
    if (!duration.stops) {
        char line[128];
        std::snprintf(line, sizeof line, ": the song never stops; rendering %g seconds with a fade-out",
                      double(plan.songFrames) / OUTPUT_RATE);
        progress.message(job.display + line);
    }

    void *stream = plugin.open(job.source);
    if (!stream) {
        error = job.display + ": the plug-in cannot open it";
        return false;
    }
    std::unique_ptr<AudioOutput> output = openAudioOutput(job.output, job.raw, reason);
    if (!output) {
        plugin.close(stream);
        error = job.display + ": " + reason;
        return false;
    }
    progress.begin(job.index, job.display, plan.songFrames + plan.tailFrames);
    PlannedStream source(plugin, stream, plan);
    bool ok = writeAll(source, *output, progress, job.index);
    ok = output->finish() && ok;
    progress.end(job.index);
    plugin.close(stream);
    if (!ok) {
        error = job.display + ": cannot write " + job.output;
        if (job.output != "-")
            std::remove(job.output.c_str());
    }
    return ok;
}

} // namespace kvplay
