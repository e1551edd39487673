// What the reads of a file delivered, as the file services saw them: kvplay
// uses it to say where a module the reader refused went wrong, and whether a
// module it accepted ended early.
//
// The trail belongs to the calling thread and covers the file most recently
// opened on it (the reader opens one file, reads it front to back on the
// thread that asked for the load, and closes it).
#pragma once

#include <cstdint>

namespace kvhost {

struct ReadTrail {
    uint64_t delivered = 0; // bytes delivered in all: where in the file reading stopped
    bool shortRead = false; // a read delivered some bytes, but fewer than asked for
    bool ended = false;     // a read delivered nothing (the end of the file, or a failure)
};

// The trail of the calling thread.
ReadTrail readTrail();

// Called by the file services: a file was opened on this thread; a read
// asked for `asked` bytes and got `got` (0 or less: nothing).
void startReadTrail();
void noteRead(int32_t asked, int32_t got);

} // namespace kvhost
