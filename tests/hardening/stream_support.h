// Test helpers: drive the stream operations directly, as the host would.
#pragma once

#include "base/host_services.h"
#include "host/services.h"
#include "plugin/stream.h"

#include <cstdint>
#include <vector>

namespace hardening {

// Our host's service record (interface 10) as InitPlugin would store it.
inline void useHost()
{
    dbm::pluginGlobals.host = kvhost::serviceRecord(10);
    dbm::pluginGlobals.hostVersion = 9;
}

inline void *openStream(const char *name)
{
    dbm::Word format[dbm::FORMAT_WORDS] = {};
    return dbm::OpenStream(name, format);
}

struct Pulled {
    dbm::Word written;
    dbm::Word done;
};

// One StreamSamples call for `frames` frames into `out` (resized to fit).
inline Pulled pull(void *stream, uint32_t frames, std::vector<int16_t> &out)
{
    if (out.size() < 2 * size_t(frames))
        out.resize(2 * size_t(frames));
    dbm::Word request[dbm::REQUEST_WORDS] = {reinterpret_cast<dbm::Word>(out.data()), frames, 0, 0};
    dbm::StreamSamples(stream, request);
    return {request[dbm::REQUEST_WRITTEN], request[dbm::REQUEST_DONE]};
}

} // namespace hardening
