#include "tools/kvplay/render_job.h"

#include "tools/kvplay/audio_output.h"
#include "tools/kvplay/output_file.h"
#include "tools/kvplay/progress.h"
#include "tools/kvplay/static_core.h"
#include "tools/kvplay/stream_plugin.h"
#include "tools/kvplay/summary.h"
#include "tools/kvplay/system_reason.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kvplay {
namespace {

constexpr uint32_t BLOCK_FRAMES = 4096;

// Frames [from, to) of a song of `fadeEnd` frames whose last `fadeFrames`
// fall linearly to silence.
void applyFade(int16_t *frames, uint64_t from, uint64_t to, uint64_t fadeEnd, uint64_t fadeFrames)
{
    if (!fadeFrames)
        return;
    const uint64_t fadeStart = fadeEnd - fadeFrames;
    for (uint64_t f = std::max(from, fadeStart); f < to; ++f) {
        const int64_t left = int64_t(fadeEnd - f);
        for (int c = 0; c < 2; ++c) {
            int16_t &s = frames[2 * (f - from) + c];
            s = int16_t(int64_t(s) * left / int64_t(fadeFrames));
        }
    }
}

// True when a sample of the stereo frame lies beyond +-QUIET_LEVEL.
bool loud(const int16_t *frame)
{
    return std::abs(frame[0]) > QUIET_LEVEL || std::abs(frame[1]) > QUIET_LEVEL;
}

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

    // The tail: up to `frames` more, ended by a quiet run of QUIET_FRAMES
    // that is left out of the output. Quiet frames wait in pending_ until a
    // loud one shows they belong to the tail.
    bool tail(uint64_t frames)
    {
        for (uint64_t done = 0; done < frames && !ended_;) {
            uint32_t got = pull(uint32_t(std::min<uint64_t>(BLOCK_FRAMES, frames - done)));
            done += got;
            size_t quietFrom = 0; // the frame after the block's last loud one
            for (size_t f = 0; f < got; ++f) {
                if (loud(&block_[2 * f])) {
                    if (!writePending())
                        return false;
                    quietFrom = f + 1;
                } else if (pending_.size() / 2 + (f + 1 - quietFrom) >= QUIET_FRAMES) {
                    return write(block_.data(), quietFrom);
                }
            }
            if (!write(block_.data(), quietFrom))
                return false;
            pending_.insert(pending_.end(), block_.begin() + 2 * ptrdiff_t(quietFrom),
                            block_.begin() + 2 * ptrdiff_t(got));
        }
        return writePending();
    }

    uint64_t written() const { return written_; }

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
        written_ += count;
        return !count || output_.write(frames, count);
    }

    // The quiet frames held back turn out to be part of the tail after all.
    bool writePending()
    {
        bool ok = write(pending_.data(), pending_.size() / 2);
        pending_.clear();
        return ok;
    }

    const RenderJob &job_;
    const StreamPlugin &plugin_;
    void *stream_;
    AudioOutput &output_;
    Progress &progress_;
    std::vector<int16_t> block_;
    std::vector<int16_t> pending_; // quiet tail frames not yet written
    uint64_t written_ = 0;
    bool ended_ = false;
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
    if (!duration.stops) {
        char line[128];
        std::snprintf(line, sizeof line, ": the song never stops; rendering %g seconds with a fade-out",
                      double(plan.songFrames) / OUTPUT_RATE);
        progress.message("kvplay: " + name + line);
    }

    OutputFile file;
    if (job.output != "-" && !file.create(job.output, reason)) {
        error = name + ": " + reason;
        return false;
    }
    void *stream = plugin.open(job.source.hostName);
    if (!stream) {
        error = name + ": the plug-in cannot open it";
        return false;
    }
    std::unique_ptr<AudioOutput> output = openAudioOutput(file.descriptor(), job.output, options.raw, reason);
    if (!output) {
        plugin.close(stream);
        error = name + ": " + reason;
        return false;
    }
    progress.begin(job.index, name, plan.songFrames + plan.tailFrames);
    Renderer renderer(job, plugin, stream, *output, progress);
    bool ok = renderer.song(plan.songFrames, plan.fadeFrames) && renderer.tail(plan.tailFrames);
    const int writeFailure = ok ? 0 : errno;
    ok = output->finish() && ok;
    const int failure = writeFailure ? writeFailure : errno;
    progress.end(job.index);
    plugin.close(stream);
    if (!ok) {
        error = name + ": cannot write " + job.output + ": " + systemReason(failure);
        return false;
    }
    if (job.output != "-" && !file.commit(options.force, reason)) {
        error = name + ": " + reason;
        return false;
    }
    rendered.frames = renderer.written();
    if (!options.quiet)
        progress.message(summaryLine(name, job.output, rendered));
    return true;
}

} // namespace kvplay
