// The plug-in's operations that are not about audio, and the lookup routine
// whose address the header carries.
//
// Calling order expected of the host: lookup as often as it likes; InitPlugin
// once before any stream operation; ClosePlugin once after the last stream is
// closed.
#pragma once

#include "base/host_api.h"

namespace dbm {

extern "C" {
// The operation named exactly `name` (case matters, no prefixes), or null
// (also for a null name).
void *lookupOperation(const char *name);

// Reads the host's version (word 3) and revision (word 4), fills words 0..13
// of the info record, stores the service record and, on hosts 5.3 and later,
// registers the "dbm" extension. A null service record is accepted: nothing
// is stored or registered, and the stream operations must then not be used.
// Returns 1; 0 only for a null info record, which is left alone.
int32_t InitPlugin(Word *info, Word *host);
// Nothing to release; the stored service record stays.
void ClosePlugin(void);
// "DigiBooster".
const char *GetFormatName(void);
}

} // namespace dbm
