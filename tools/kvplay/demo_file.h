// --write-demo: the built-in demo module written to a file, as safely as
// any output (output_file.h).
#pragma once

#include "tools/kvplay/options.h"

namespace kvplay {

// Writes the demo module to options.writeDemo. An existing file is a usage
// error (2) unless --force; a failed write prints one line and gives 1;
// success 0.
int writeDemoFile(const Options &options);

} // namespace kvplay
