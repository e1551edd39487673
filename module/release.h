// Releasing the records of a Module. Used by freeModule and by chunk
// handlers that replace what an earlier chunk of the same kind stored.
// Every function accepts null and skips missing parts.
#pragma once

#include "module/module.h"

namespace dbm {

void releaseInstrument(Instrument *instrument); // its name, then the record
void releaseSample(Sample *sample);             // its data, then the record
void releaseSong(Song *song);                   // its name, its orders, then the record
void releasePattern(Pattern *pattern);          // its entries, then the record

// The records in the pattern, sample, instrument and song slots, then those
// four arrays and `trackFlags`; every pointer released is set to null.
void releaseSlotArrays(Module &module);

} // namespace dbm
