// The pan delay: last node of a voice chain. Turns mono frames into stereo
// frames (left, right) and delays the channel away from the panned side by
// the engine's delay table, by up to 64 frames.
//
// Contract:
// - createPanDelay(delayTable) returns null when the host has no memory or
//   delayTable is null.
//   delayTable holds 128 delays in frames (entry i for a panning magnitude of
//   i + 1), is not owned and must outlive the node.
// - pull writes stereo frames, pulling its predecessor in pieces of at most
//   1024 frames; returns the result of the last such pull (1 when none).
// - mixInto, after a resampler in builds without SSE2, pulls the same pieces
//   with the resampler's pullMixing, which adds the delayed frames into the
//   accumulator as it writes the window; otherwise it works as the default.
// - setParameters: TAG_PANNING v (signed, negative to the left); values
//   outside -128..128 count as the nearest end of that range, and table
//   delays outside 0..64 as the nearest end of that one.
// - reset forwards to the predecessor when there is one, then silences the
//   history; the delays are kept.
// - getAttribute answers nothing; destroy frees the node.
#pragma once

#include "graph/node.h"

namespace dbm {

constexpr uint32_t PAN_HISTORY_FRAMES = 64;
constexpr uint32_t PAN_PIECE_FRAMES = 1024;

class PanDelayNode final : public ProcessingNode {
public:
    PanDelayNode() : ProcessingNode(NODE_PAN_DELAY) {}
    ~PanDelayNode() = default;

    uint32_t pull(int16_t *out, uint32_t frames) override;
    void destroy() override;
    void setParameters(const NodeTag *tags) override;
    uint32_t getAttribute(uint32_t, uint32_t *) override { return 0; }
    void reset() override;
#if !defined(__SSE2__) // vectorised, the default's two passes are the faster way
    uint32_t mixInto(int32_t *mix, int16_t *scratch, int16_t leftGain, int16_t rightGain,
                     uint32_t frames) override;
#endif

    // 64 frames of history, then the current piece.
    int16_t window[PAN_HISTORY_FRAMES + PAN_PIECE_FRAMES] = {};
    int32_t leftDelay = 0;  // frames; at most one of the two is non-zero
    int32_t rightDelay = 0;
    const int16_t *delayTable = nullptr; // the engine's, not owned

private:
    // After a piece of `count` frames: its last 64 frames become the history
    // of the next piece.
    void keepHistory(uint32_t count);
};

} // namespace dbm
