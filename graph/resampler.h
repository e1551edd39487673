// The resampler: second node of a voice chain. Steps through the sample
// source's frames with a 16.16 step and interpolates linearly between
// neighbours, reading the source ahead into a 1024-frame buffer of its own.
//
// Contract:
// - createResampler() returns null when the host has no memory for the node
//   or its buffer (nothing is left allocated then). The step starts at 1.0.
// - pull writes mono frames; it pulls its predecessor 1016 frames at a time
//   after a creation or reset, 1008 at a time afterwards, and returns the
//   result of the last such pull in this call (1 when it made none).
// - pullMixing (builds without SSE2) writes what pull writes and pulls the
//   same, and also adds two taps of what it writes into a stereo accumulator
//   as it goes (see MixTaps); the pan delay uses it to mix its frames without
//   a pass of its own.
// - setParameters: TAG_RESAMPLE_STEP v (unsigned 16.16). Steps above
//   MAX_RESAMPLE_STEP (1008.0) are stored as MAX_RESAMPLE_STEP, so the read
//   position always stays inside the buffer.
// - reset forwards to the predecessor when there is one, then marks the
//   buffer for refilling at the next pull; the step is kept.
// - getAttribute answers nothing; destroy frees the buffer, then the node.
#pragma once

#include "graph/node.h"

namespace dbm {

constexpr uint32_t RESAMPLER_BUFFER_FRAMES = 1024;
constexpr uint32_t RESAMPLER_LEAD_IN = 8;       // entries before source frame 0
constexpr uint32_t RESAMPLER_REFILL_FRAMES = 1016;
constexpr uint32_t RESAMPLER_SLIDE_FRAMES = 1008;
constexpr uint32_t MAX_RESAMPLE_STEP = RESAMPLER_SLIDE_FRAMES << 16;

#if !defined(__SSE2__)
// Two taps on the frames a pull writes, added into a stereo accumulator:
// after writing out[i], mix[2i] gets out[i - leftDelay] at leftGain and
// mix[2i + 1] gets out[i - rightDelay] at rightGain, as the track's gain stage
// adds them (graph/gain_stage.h). The delays are at most 64 frames, and the
// 64 values before `out` must be readable: they stand for the frames written
// before this pull.
struct MixTaps {
    int32_t *mix; // 2 x frames values
    int16_t leftGain;
    int16_t rightGain;
    int32_t leftDelay;
    int32_t rightDelay;
};
#endif

class ResamplerNode final : public ProcessingNode {
public:
    ResamplerNode() : ProcessingNode(NODE_RESAMPLER) {}
    ~ResamplerNode() = default;

    uint32_t pull(int16_t *out, uint32_t frames) override;
    void destroy() override;
    void setParameters(const NodeTag *tags) override;
    uint32_t getAttribute(uint32_t, uint32_t *) override { return 0; }
    void reset() override;
#if !defined(__SSE2__)
    uint32_t pullMixing(int16_t *out, uint32_t frames, const MixTaps &taps);
#endif

    int16_t *buffer = nullptr; // RESAMPLER_BUFFER_FRAMES frames, owned
    uint32_t position = 0;     // 16.16; integer part i reads buffer[8 + i]
    uint32_t step = 0x10000;   // 16.16 source frames per output frame
    uint32_t refill = 1;       // non-zero: fill afresh before the next frame

private:
    // Produces `frames` output frames in runs that need no boundary checks:
    // refills or slides the buffer when due, then hands each run on as
    // run(source, done, count) for output frames done .. done + count - 1,
    // source frame i being at source[i], starting at `position` and stepping
    // by `step`; advances the position. Returns what pull does.
    template <typename Run>
    uint32_t eachRun(uint32_t frames, Run run);
};

} // namespace dbm
