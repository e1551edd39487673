#include "tools/kvplay/render_job.h"

#include "tools/kvplay/audio_output.h"
#include "tools/kvplay/output_file.h"
#include "tools/kvplay/progress.h"
#include "tools/kvplay/song_stream.h"
#include "tools/kvplay/system_reason.h"

#include <cerrno>
#include <vector>

namespace kvplay {

bool renderJob(const RenderJob &job, const Options &options, const StreamPlugin &plugin, Progress &progress,
               std::string &error)
{
    const std::string &name = job.source.display;
    std::unique_ptr<SongStream> song =
        openSong(job, options, plugin, [&](const std::string &line) { progress.message(line); }, error);
    if (!song)
        return false;
    std::string reason;
    OutputFile file;
    if (job.output != "-" && !file.create(job.output, reason)) {
        error = name + ": " + reason;
        return false;
    }
    std::unique_ptr<AudioOutput> output = openAudioOutput(file.descriptor(), job.output, options.raw, reason);
    if (!output) {
        error = name + ": " + reason;
        return false;
    }
    progress.begin(job.index, name, song->plan.songFrames + song->plan.tailFrames);
    std::vector<int16_t> block(2 * size_t(PIECE_FRAMES));
    bool ok = true;
    while (const uint32_t got = ok ? song->frames->read(block.data(), PIECE_FRAMES) : 0) {
        ok = output->write(block.data(), got);
        progress.advance(job.index, got);
    }
    const int writeFailure = ok ? 0 : errno;
    ok = output->finish() && ok;
    const int failure = writeFailure ? writeFailure : errno;
    progress.end(job.index);
    if (!ok) {
        error = name + ": cannot write " + job.output + ": " + systemReason(failure);
        return false;
    }
    if (job.output != "-" && !file.commit(options.force, reason)) {
        error = name + ": " + reason;
        return false;
    }
    song->about.frames = song->frames->position();
    if (!options.quiet)
        progress.message(summaryLine(name, job.output, song->about));
    return true;
}

} // namespace kvplay
