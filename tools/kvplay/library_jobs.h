// Turning kvplay's files into the outputs that --song, --all-songs, --start,
// --start-order, --repeat, --mute, --solo and --stems ask for, rendered
// through libdbmplay.
#pragma once

#include "tools/kvplay/options.h"
#include "tools/kvplay/render_job.h"

#include <vector>

namespace kvplay {

// Replaces each job (one per file) by one job per song (--all-songs, else
// the one song) and per heard track (--stems, else one for the mix), named
// <name>.songN.<ext> when a song was chosen and <name>.trackNN.<ext> for a
// track (both: <name>.songN.trackNN.<ext>), unless -o names the one output.
// Each module is opened to check the choices against it and to scan its
// songs' lengths; a module that cannot be opened keeps one job, which fails
// when rendered with the reader's reason. Returns -1 to go on, or 2 after
// printing one usage error (options.h) when a choice does not fit a module: a song,
// track or order position out of range, a start past the song's end, a
// repeat past four hours, --stems with no track heard, or -o with more than
// one output.
int planLibraryJobs(const Options &options, std::vector<RenderJob> &jobs);

} // namespace kvplay
