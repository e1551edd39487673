// One output of the batch, and rendering it through the hosted plug-in.
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
    std::optional<LibraryPlay> library = {}; // set: rendered through libdbmplay (library_render.h)
};

// Loads the module with the static core (for the reason a file cannot be
// loaded, the duration scan and the summary), plans the length, opens the
// stream in the plug-in, pulls the frames and writes them to a temporary
// file that replaces `job.output` only once complete (output_file.h).
// Warnings and, unless -q, the summary line go through `progress`. Returns
// true on success; otherwise `error` holds one line naming the file and the
// reason, and no output file is left behind.
bool renderModule(const RenderJob &job, const Options &options, const StreamPlugin &plugin,
                  Progress &progress, std::string &error);

} // namespace kvplay
