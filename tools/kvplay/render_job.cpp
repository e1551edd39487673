#include "tools/kvplay/render_job.h"

#include "tools/kvplay/audio_output.h"
#include "tools/kvplay/frame_shaping.h"
#include "tools/kvplay/progress.h"
#include "tools/kvplay/static_core.h"
#include "tools/kvplay/stream_plugin.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace kvplay {
namespace {

constexpr uint32_t BLOCK_FRAMES = 4096;

class Renderer {
public:
    Renderer(const RenderJob &job, const StreamPlugin &plugin, void *stream, AudioOutput &output,
             Progress &progress)
        : job_(job), plugin_(plugin), stream_(stream), output_(output), progress_(progress),
          block_(2 * size_t(BLOCK_FRAMES))
    {
    }

    // The song part: exactly `frames` frames (less only if the stream ends).
    bool song(uint64_t frames, uint64_t fadeFrames)
    {
        for (uint64_t done = 0; done < frames && !ended_;) {
            uint32_t n = uint32_t(std::min<uint64_t>(BLOCK_FRAMES, frames - done));
            uint32_t got = pull(n);
            applyFade(block_.data(), done, done + got, frames, fadeFrames);
            if (!write(block_.data(), got))
                return false;
            done += got;
        }
        return true;
    }

    // The tail: up to `frames` more, ended by a silent run of SILENCE_FRAMES
    // that is left out of the output.
    bool tail(uint64_t frames)
    {
        uint64_t pendingSilence = 0;
        for (uint64_t done = 0; done < frames && !ended_;) {
            uint32_t n = uint32_t(std::min<uint64_t>(BLOCK_FRAMES, frames - done));
            uint32_t got = pull(n);
            done += got;
            size_t audible = audibleEnd(block_.data(), got);
            if (audible) {
                if (!writeSilence(pendingSilence) || !write(block_.data(), audible))
                    return false;
                pendingSilence = got - audible;
            } else {
                pendingSilence += got;
            }
            if (pendingSilence >= SILENCE_FRAMES)
                return true;
        }
        return writeSilence(pendingSilence);
    }

private:
    uint32_t pull(uint32_t frames)
    {
        uint32_t got = plugin_.pull(stream_, block_.data(), frames);
        if (got < frames)
            ended_ = true;
        progress_.advance(job_.index, got);
        return got;
    }

    bool write(const int16_t *frames, size_t count)
    {
        return !count || output_.write(frames, count);
    }

    bool writeSilence(uint64_t frames)
    {
        std::vector<int16_t> zeros(2 * size_t(std::min<uint64_t>(frames, BLOCK_FRAMES)), 0);
        for (uint64_t left = frames; left > 0;) {
            size_t n = size_t(std::min<uint64_t>(left, BLOCK_FRAMES));
            if (!write(zeros.data(), n))
                return false;
            left -= n;
        }
        return true;
    }

    const RenderJob &job_;
    const StreamPlugin &plugin_;
    void *stream_;
    AudioOutput &output_;
    Progress &progress_;
    std::vector<int16_t> block_;
    bool ended_ = false;
};

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
    Renderer renderer(job, plugin, stream, *output, progress);
    bool ok = renderer.song(plan.songFrames, plan.fadeFrames) && renderer.tail(plan.tailFrames);
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
