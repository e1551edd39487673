// Ending on SIGINT, SIGTERM and SIGHUP without leaving a broken file.
//
// The signals are blocked in every thread and taken by one watcher thread
// with sigwait, so the clean-up runs as ordinary code: it removes the
// unfinished outputs (output_file.h) and then ends kvplay by the same
// signal, as the shell expects.
#pragma once

namespace kvplay {

// Call first in main, before any other thread starts: threads inherit the
// blocked signals from the one that starts them.
void endCleanlyOnSignals();

} // namespace kvplay
