// Rendering one job through libdbmplay: the song chosen, from its start
// point, with the heard tracks (or one stem), to the planned end.
#pragma once

#include "tools/kvplay/options.h"
#include "tools/kvplay/render_job.h"

#include <string>

namespace kvplay {

class Progress;

// Renders job.library (which must be set) to job.output, the way
// renderModule does (rendered_output.h). The length follows the plug-in's
// rules counted from the start point (the song's end and its echo tail, or
// --seconds, or 300 seconds faded out for a song that never stops), except
// that with --repeat a looping song ends `repeat` loops after its first pass
// and then fades out over two more seconds. A stem ends where the mix of the
// heard tracks does. Returns true on success; otherwise `error` holds one
// line naming the file and the reason, and no output file is left behind.
bool renderThroughLibrary(const RenderJob &job, const Options &options, Progress &progress, std::string &error);

} // namespace kvplay
