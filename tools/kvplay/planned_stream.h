// The frames kvplay delivers for one song, read block by block from the
// plug-in's stream: the song part of a LengthPlan with its fade-out, then
// the echo tail up to its silent end (the silent run is left out). A render
// writes them to a file; playback sends them to the sound device. Both read
// the same frames, so playing a module sounds exactly like its rendering.
//
// Seeking is exact: forward it reads on and discards; backward it rewinds
// the stream with SeekStream and reads forward to the new frame.
//
// One thread at a time; the stream stays owned by the caller and must
// outlive this object.
#pragma once

#include "tools/kvplay/length_plan.h"

#include <cstdint>
#include <vector>

namespace kvplay {

class StreamPlugin;

class PlannedStream {
public:
    PlannedStream(const StreamPlugin &plugin, void *stream, const LengthPlan &plan);

    // Copies up to `frames` next frames (interleaved stereo) into `out` and
    // returns how many; fewer only at the end, 0 once it is reached.
    uint32_t read(int16_t *out, uint32_t frames);
    // Makes `frame` the next frame read (a frame past the end ends the song).
    void seek(uint64_t frame);
    // Frames delivered so far (the next frame's index).
    uint64_t position() const { return position_; }

private:
    bool pullPiece();
    void restart();

    const StreamPlugin &plugin_;
    void *stream_;
    LengthPlan plan_;
    uint64_t position_ = 0;
    uint64_t songPulled_ = 0;  // frames of the song part pulled from the stream
    uint64_t tailPulled_ = 0;  // frames of the tail pulled from the stream
    bool streamEnded_ = false; // the stream delivered fewer frames than asked
    bool tailDone_ = false;
    uint64_t pendingSilence_ = 0; // silent tail frames not yet known to be followed by sound
    uint64_t zerosOwed_ = 0;      // silent frames to deliver before the queued ones
    std::vector<int16_t> piece_;  // the piece of the stream being delivered
    size_t queued_ = 0, delivered_ = 0; // frames of piece_ to deliver, and those delivered
};

} // namespace kvplay
