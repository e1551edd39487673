// The batch: which module goes to which output, and the checks made before
// anything is rendered, so that no file is lost or clobbered by mistake.
#pragma once

#include "tools/kvplay/options.h"
#include "tools/kvplay/render_job.h"

#include <vector>

namespace kvplay {

// Refuses '-' when standard input is a terminal (a usage error, as below),
// before anything waits for it. Returns -1 when the inputs are fine.
int checkInputs(const Options &options);

// One job per FILE (the demo when there is none). Outputs named after their
// inputs go to the current folder as <stem>.<format>; standard input's is
// stdin.<format>. Inputs that must be read beforehand (module_source.h)
// are read here.
std::vector<RenderJob> makeJobs(const Options &options);

// Refuses, as a usage error (exit status 2, one line printed), outputs that
// cannot be honoured: an unknown extension, an existing file without
// --force, two jobs writing one file, a job writing over its own module,
// audio on a terminal (-o -).
// Returns -1 when every output is fine.
int checkOutputs(const std::vector<RenderJob> &jobs, const Options &options);

} // namespace kvplay
