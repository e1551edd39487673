// Writing one job's planned frames to its output, the same way whichever
// player made them: the temporary file renamed into place once complete
// (output_file.h) or standard output, the progress line, the summary line.
#pragma once

#include "tools/kvplay/options.h"
#include "tools/kvplay/planned_stream.h"
#include "tools/kvplay/render_job.h"
#include "tools/kvplay/summary.h"

#include <string>

namespace kvplay {

class Progress;

// Writes every frame of `frames` to job.output; `plan` gives the progress
// line its total. On success prints, unless -q, the summary line for
// `rendered` with the frames written. False with `error` set to one line
// naming the file and the reason; no output file is then left behind.
bool writeRendered(const RenderJob &job, const Options &options, PlannedStream &frames, const LengthPlan &plan,
                   RenderedFile rendered, Progress &progress, std::string &error);

// The notice for a song cut short because it never stops, rendered to
// `songFrames` with a fade-out; `repeatable`: it loops, and --repeat could
// have ended it.
std::string endlessSongNotice(const std::string &name, uint64_t songFrames, bool repeatable);

} // namespace kvplay
