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

class ResamplerNode final : public ProcessingNode {
public:
    ResamplerNode() : ProcessingNode(NODE_RESAMPLER) {}
    ~ResamplerNode() = default;

    uint32_t pull(int16_t *out, uint32_t frames) override;
    void destroy() override;
    void setParameters(const NodeTag *tags) override;
    uint32_t getAttribute(uint32_t, uint32_t *) override { return 0; }
    void reset() override;

    int16_t *buffer = nullptr; // RESAMPLER_BUFFER_FRAMES frames, owned
    uint32_t position = 0;     // 16.16; integer part i reads buffer[8 + i]
    uint32_t step = 0x10000;   // 16.16 source frames per output frame
    uint32_t refill = 1;       // non-zero: fill afresh before the next frame
};

} // namespace dbm
