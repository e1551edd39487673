// Plays a module held in memory through the plug-in's stream operations, as a
// host does: OpenStream on a memory file of our stand-in host, then
// StreamSamples requests. Used by the render benchmarks and the golden test.
//
// The constructor installs the stand-in host's service record (interface
// version 10) when none is set, registers the bytes under `name` and opens
// the stream; ok() tells whether that worked. The destructor closes the
// stream and removes the memory file. One player per name at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace benchmodules {

class StreamPlayer {
public:
    StreamPlayer(const std::string &name, const std::vector<uint8_t> &bytes);
    ~StreamPlayer();
    StreamPlayer(const StreamPlayer &) = delete;
    StreamPlayer &operator=(const StreamPlayer &) = delete;

    bool ok() const { return stream_ != nullptr; }
    // One StreamSamples request for `frames` frames into `out` (2 x frames
    // values); returns the frames written.
    uint32_t request(int16_t *out, uint32_t frames);

private:
    std::string name_;
    void *stream_ = nullptr;
};

// The samples as little-endian bytes, two per value, whatever the host's byte
// order, so that hashes of them agree on every machine.
void appendLittleEndian(std::vector<uint8_t> &bytes, const int16_t *values, size_t count);

} // namespace benchmodules
