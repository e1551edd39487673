// The hosted plug-in as kvplay uses it: loaded and initialised through our
// host layer (header scan, lookup by name, InitPlugin), then driven through
// its stream operations only.
//
// After start() succeeds, open/pull/close may be called from several threads
// at once for different streams (the plug-in keeps no shared state per
// stream); one stream is used by one thread at a time.
#pragma once

#include "host/plugin_loader.h"

#include <cstdint>
#include <string>

namespace kvplay {

class StreamPlugin {
public:
    // Loads and initialises the plug-in at `path` and looks up the stream
    // operations. False with `error` set (naming the file and the reason).
    bool start(const std::string &path, std::string &error);

    // "DigiBooster, version 1, revision 2", from the plug-in's info record.
    std::string identity() const;

    // OpenStream on `file` (a path or one of our host's memory files); null
    // when the plug-in refuses it.
    void *open(const std::string &file) const;
    // Fills `frames` frames (interleaved stereo) as far as the stream goes;
    // returns the frames delivered, fewer only at the stream's end.
    uint32_t pull(void *stream, int16_t *buffer, uint32_t frames) const;
    // SeekStream to frame 0: the stream starts the song again.
    void rewind(void *stream) const;
    void close(void *stream) const;

private:
    kvhost::PluginHost host_;
    dbm::OpenStreamFn open_ = nullptr;
    dbm::StreamSamplesFn samples_ = nullptr;
    dbm::SeekStreamFn seek_ = nullptr;
    dbm::CloseStreamFn close_ = nullptr;
};

} // namespace kvplay
