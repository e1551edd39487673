// The echo: an optional last node of a track's output chain. A stereo
// feedback delay with cross-feed between the sides, in front of the track's
// gains.
//
// Contract:
// - createEcho(sampleRate, mode) returns null when the host has no memory
//   (nothing is left allocated then) or the rate lies outside 8000..192000.
//   The delay line holds about 516 ms and starts silent; the delay starts at
//   128 ms, feedback and mix at 128/256, cross-feed at 255/256.
// - pull writes stereo frames. It pulls its predecessor for the whole
//   request straight into the output buffer and applies the echo in place;
//   the output equals that of pulling 16 frames at a time, since the nodes
//   before it give the same stream however it is cut. It always returns 1: an echo reports sounding even after the voice
//   before it has ended, so the track keeps being pulled and its tail rings
//   out.
// - mixInto, in builds without SSE2, pulls its predecessor into scratch and
//   adds the output frames, scaled, into the accumulator as it makes them;
//   otherwise it works as the default. It also returns 1.
// - setParameters: TAG_ECHO_DELAY v (units of 2 ms) sets the delay at once;
//   TAG_ECHO_FEEDBACK, TAG_ECHO_MIX and TAG_ECHO_CROSS (shares out of 256)
//   are taken together: a list holding any of them recomputes every weight,
//   with 0 for the shares it lacks. Values above 255 count as 255.
// - getAttribute: ATTR_ECHO_MODE gives the mode given at creation.
// - reset does nothing: a voice restart keeps the echo ringing.
// - destroy frees the delay line, then the node.
#pragma once

#include "graph/node.h"

#include <cstddef>

namespace dbm {

class EchoNode final : public ProcessingNode {
public:
    EchoNode() : ProcessingNode(NODE_ECHO) {}
    ~EchoNode() = default;

    uint32_t pull(int16_t *out, uint32_t frames) override;
    void destroy() override;
    void setParameters(const NodeTag *tags) override;
    uint32_t getAttribute(uint32_t id, uint32_t *out) override;
    void reset() override {}
#if !defined(__SSE2__) // vectorised, the default's two passes are the faster way
    uint32_t mixInto(int32_t *mix, int16_t *scratch, int16_t leftGain, int16_t rightGain,
                     uint32_t frames) override;
#endif

    int16_t *buffer = nullptr; // bufferFrames stereo frames, owned
    int32_t bufferFrames = 0;
    int32_t writeIndex = 0;
    int32_t delayFrames = 0; // 0..bufferFrames
    uint32_t mode = 0;
    uint32_t sampleRate = 0;
    // Output weights out of 256, adding up to 256.
    int32_t wetLevel = 0;
    int32_t dryLevel = 0;
    // Delay-line input weights out of 65536, adding up to 65536. They are
    // always formed from a feedback share f and a cross-feed share c (out of
    // 256) as f c, (256 - f) c, f (256 - c) and (256 - f)(256 - c); the plain
    // frame loop works with f and c, which it takes back from them.
    int32_t crossFeedback = 0;
    int32_t crossInput = 0;
    int32_t directFeedback = 0;
    int32_t directInput = 0;

private:
    // The delay line runs frame by frame, in stretches in which neither index
    // wraps and the frames read either are the frames written (a delay of 0
    // or of the whole line) or lie apart from them.
    struct Stretch {
        const int16_t *delayed; // the delayed frames read
        int16_t *line;          // the frames written
        size_t run;             // frames
    };
    // The stretch that starts at the write index, of at most `frames` frames.
    Stretch nextStretch(size_t frames) const;
    // Runs `frames` frames through the delay line as body(stretch, done) for
    // each stretch in turn, done being the frames before it; moves the write
    // index past each.
    template <typename Body>
    void eachStretch(size_t frames, Body body);
};

} // namespace dbm
