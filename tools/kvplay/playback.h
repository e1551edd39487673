// kvplay's live playback (--play) and device list (--list-devices).
//
// Each module is played, one after the other, through the sound device:
// the frames a render would write (song_stream.h), sent to the device by a feeding thread
// (feeder.h), with the keys of terminal_keys.h when standard input is a
// terminal, a status line on standard error, and one summary line per file.
// Without SDL2 (DBM_PLAYBACK=OFF) both say so and return 2.
//
// Main thread only; the plug-in must be started unless every job plays
// through the player library.
#pragma once

#include "tools/kvplay/options.h"
#include "tools/kvplay/render_job.h"

#include <vector>

namespace kvplay {

// Plays `jobs` (their source and display names; outputs are ignored).
// Returns the exit status: 0 when every file played, 1 when any could not
// be played or there is no usable device, 128 + the signal's number when a
// signal (or Ctrl-C, as SIGINT) stopped playback.
int playModules(const std::vector<RenderJob> &jobs, const Options &options, const StreamPlugin &plugin);

// Prints the output devices' names on standard output, one a line. Returns
// 0, or 1 with one line on standard error when there are none.
int listOutputDevices();

} // namespace kvplay
