// Rendering one module to one output through the hosted plug-in.
#pragma once

#include "tools/kvplay/length_plan.h"
#include "tools/kvplay/library_play.h"

#include <string>

namespace kvplay {

class Progress;
class StreamPlugin;

struct RenderJob {
    unsigned index;      // position in the batch, for the progress line
    std::string source;  // what the host opens: a path or one of our memory files
    std::string display; // the file's name in messages
    std::string output;  // a path, or "-" for standard output
    bool raw;            // headerless native frames
    std::optional<LibraryPlay> library = {}; // set: rendered through libdbmplay (library_render.h)
};

// Loads the module with the static core (for the reason a file cannot be
// loaded and for the duration scan), plans the length, opens the stream in
// the plug-in, pulls the frames and writes them. Returns true on success;
// otherwise `error` holds one line naming the file and the reason. A failed
// output file is removed.
bool renderModule(const RenderJob &job, std::optional<double> seconds, double tail,
                  const StreamPlugin &plugin, Progress &progress, std::string &error);

} // namespace kvplay
