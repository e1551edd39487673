// One output of the batch, and rendering it.
#pragma once

#include "tools/kvplay/length_plan.h"
#include "tools/kvplay/library_play.h"
#include "tools/kvplay/module_source.h"
#include "tools/kvplay/options.h"

#include <optional>
#include <string>

namespace kvplay {

class Progress;
class StreamPlugin;

struct RenderJob {
    unsigned index;      // position in the batch, for the progress line
    ModuleSource source; // the module
    std::string output;  // a path, or "-" for standard output
    std::optional<LibraryPlay> library = {}; // set: played through libdbmplay (library_play.h)
};

// Opens the job's song (song_stream.h) and writes its frames to a temporary
// file that replaces `job.output` only once complete (output_file.h), or to
// standard output. Warnings and, unless -q, the summary line go through
// `progress`. Returns true on success; otherwise `error` holds one line
// naming the file and the reason, and no output file is left behind.
bool renderJob(const RenderJob &job, const Options &options, const StreamPlugin &plugin, Progress &progress,
               std::string &error);

} // namespace kvplay
