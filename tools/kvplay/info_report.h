// kvplay --info: a plain-text description of a loaded module.
#pragma once

#include "engine/duration.h"
#include "module/module.h"

#include <string>

namespace kvplay {

// Name, format version, tracks, instruments (names, base rates, loop modes),
// samples (lengths), songs with their order lists, patterns, envelopes, the
// echo tracks and settings, each song's length (where it stops, or its pass
// and where its loop starts), and the duration of song 0 (or "loops forever").
std::string describeModule(const std::string &file, const dbm::Module &module,
                           const dbm::SongDuration &duration);

} // namespace kvplay
