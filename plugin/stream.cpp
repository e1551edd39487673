#include "plugin/stream.h"

namespace dbm {

// Placeholder until the stream lands: every open fails.
extern "C" void *OpenStream(const char *, Word *) { return nullptr; }
extern "C" void CloseStream(void *) {}
extern "C" void SeekStream(void *, uint32_t) {}
extern "C" int32_t StreamSamples(void *, Word *request)
{
    request[REQUEST_WRITTEN] = 0;
    request[REQUEST_DONE] = 0;
    return 0;
}

} // namespace dbm
