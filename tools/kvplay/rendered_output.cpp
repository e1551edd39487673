#include "tools/kvplay/rendered_output.h"

#include "tools/kvplay/audio_output.h"
#include "tools/kvplay/output_file.h"
#include "tools/kvplay/progress.h"
#include "tools/kvplay/system_reason.h"

#include <cerrno>
#include <cstdio>
#include <vector>

namespace kvplay {

bool writeRendered(const RenderJob &job, const Options &options, PlannedStream &frames, const LengthPlan &plan,
                   RenderedFile rendered, Progress &progress, std::string &error)
{
    const std::string &name = job.source.display;
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
    progress.begin(job.index, name, plan.songFrames + plan.tailFrames);
    std::vector<int16_t> block(2 * size_t(PIECE_FRAMES));
    bool ok = true;
    while (const uint32_t got = ok ? frames.read(block.data(), PIECE_FRAMES) : 0) {
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
    rendered.frames = frames.position();
    if (!options.quiet)
        progress.message(summaryLine(name, job.output, rendered));
    return true;
}

std::string endlessSongNotice(const std::string &name, uint64_t songFrames, bool repeatable)
{
    char line[160];
    std::snprintf(line, sizeof line, ": the song never stops; rendering %g seconds with a fade-out%s",
                  double(songFrames) / OUTPUT_RATE, repeatable ? " (--repeat N plays its loop N more times)" : "");
    return "kvplay: " + name + line;
}

} // namespace kvplay
