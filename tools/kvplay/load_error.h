// The reason kvplay prints when the reader refuses a module, in a person's
// words. The reader gives only a code; what the reads of the file delivered
// (host/read_trail.h) and a look at the file tell which chunk went wrong.
#pragma once

#include "host/read_trail.h"
#include "tools/kvplay/module_source.h"

#include <cstdint>
#include <string>

namespace kvplay {

// `code` is the reader's (dbm::LoadError); `trail` what its reads delivered;
// `overBudget` whether our host refused memory because of --memory-limit.
//
// 1 (open): "no such file", "permission denied", ...
// 2 (memory): "out of memory", naming the limit when it was the cause.
// 3 (data): "not a DBM0 module" (wrong magic); `damaged at chunk "PATT"`
//   (the chunk where reading stopped); "damaged: parts are missing or do not
//   fit together" (the whole file was read: the final checks failed).
// 4 (version): "format version N is not supported (only 2 and 3)", or "too
//   short to be a DBM0 module" when the file ends inside its header.
// 5 (read): "not a file" (a folder), "empty", `damaged: the file ends inside
//   chunk "SMPL"`, or "read error".
// 6 (order): `damaged: chunk "SONG" comes before INFO`.
std::string describeLoadError(int32_t code, const ModuleSource &source, const kvhost::ReadTrail &trail,
                              bool overBudget);

// "out of memory", naming the limit when `overBudget` (our host refused
// memory because of --memory-limit).
std::string outOfMemory(bool overBudget);

} // namespace kvplay
