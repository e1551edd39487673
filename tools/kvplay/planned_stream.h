// The frames kvplay delivers for one song, whichever player makes them: the
// song part of a LengthPlan with its fade-out, then the echo tail, which
// ends once the sound has stayed within +-QUIET_LEVEL for QUIET_FRAMES (that
// quiet run is left out) or after plan.tailFrames. A render writes these
// frames to a file and playback sends them to the sound device, through the
// plug-in or the player library alike, so playing sounds exactly like the
// rendering.
//
// Seeking is exact: forward it reads on and discards; backward it rewinds
// the source and reads forward to the new frame.
//
// The source is pulled in pieces of PIECE_FRAMES (fewer at the song's end),
// whatever the reader asks for: the frames depend on the pieces (a voice
// whose sample ends stops after the piece in which it ended), and so does
// where a quiet run that ends the tail is noticed.
//
// One thread at a time; the source must outlive this object.
#pragma once

#include "tools/kvplay/length_plan.h"

#include <cstdint>
#include <vector>

namespace kvplay {

constexpr uint32_t PIECE_FRAMES = 4096;

// Where a song's frames come from.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    // Fills `out` with the next `frames` frames (interleaved stereo); returns
    // how many, fewer only at the stream's end. Sets `judged` to the frames
    // whose sound decides where the tail ends: `out` itself, or the full mix
    // beside it when `out` holds only part of it.
    virtual uint32_t pull(int16_t *out, uint32_t frames, const int16_t *&judged) = 0;
    // Starts the song again where it first started.
    virtual void rewind() = 0;
};

class PlannedStream {
public:
    PlannedStream(FrameSource &source, const LengthPlan &plan);

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
    void queue(const int16_t *frames, size_t count);

    FrameSource &source_;
    LengthPlan plan_;
    uint64_t position_ = 0;
    uint64_t songPulled_ = 0;      // frames of the song part pulled from the source
    uint64_t tailPulled_ = 0;      // frames of the tail pulled from the source
    bool sourceEnded_ = false;     // the source delivered fewer frames than asked
    bool tailDone_ = false;
    std::vector<int16_t> piece_;   // the piece being pulled
    std::vector<int16_t> quiet_;   // quiet tail frames, delivered only if sound follows
    std::vector<int16_t> ready_;   // frames to deliver
    size_t delivered_ = 0;         // frames of ready_ delivered
};

} // namespace kvplay
