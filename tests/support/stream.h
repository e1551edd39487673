// The stream operations driven directly, as the host drives them.
// Contract: useHost() (host.h) comes first.
#pragma once

#include "base/host_api.h"
#include "plugin/stream.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace testsupport {

// OpenStream on `name` with an empty format record; null when refused.
inline void *openStream(const char *name)
{
    dbm::Word format[dbm::FORMAT_WORDS] = {};
    return dbm::OpenStream(name, format);
}

// Closes the stream it holds (none when null).
struct StreamCloser {
    void operator()(void *stream) const { dbm::CloseStream(stream); }
};
using StreamHandle = std::unique_ptr<void, StreamCloser>;

// What one StreamSamples call reported.
struct Pulled {
    dbm::Word written;
    dbm::Word done;
};

// One StreamSamples call asking for `frames` frames into `out`, which grows
// to hold them (it never shrinks; frames past `written` are left as they were).
inline Pulled pull(void *stream, uint32_t frames, std::vector<int16_t> &out)
{
    if (out.size() < 2 * size_t(frames))
        out.resize(2 * size_t(frames));
    dbm::Word request[dbm::REQUEST_WORDS] = {reinterpret_cast<dbm::Word>(out.data()), frames, 0, 0};
    dbm::StreamSamples(stream, request);
    return {request[dbm::REQUEST_WRITTEN], request[dbm::REQUEST_DONE]};
}

} // namespace testsupport
