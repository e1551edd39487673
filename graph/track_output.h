// The track output node: first node of a track's output chain. It stands in
// for whatever voice chain the track has at the moment, so the output chain
// (and its echo) stays in place while voice chains come and go with notes.
//
// Contract:
// - createTrackOutput(voice) returns null when the host has no memory.
//   voice is the track's voice chain list, not owned; it must outlive the
//   node.
// - pull pulls the voice chain's last node with the same buffer and count
//   and returns its result. With an empty voice chain it writes silence and
//   returns 0 (nothing sounds).
// - mixInto passes the call on to the voice chain's last node; with an empty
//   voice chain it adds nothing (silence) and returns 0.
// - reset resets the voice chain's last node, if any.
// - setParameters ignores every tag; getAttribute answers nothing; destroy
//   frees the node.
#pragma once

#include "graph/node.h"

namespace dbm {

class TrackOutputNode final : public ProcessingNode {
public:
    TrackOutputNode() : ProcessingNode(NODE_TRACK_OUTPUT) {}
    ~TrackOutputNode() = default;

    uint32_t pull(int16_t *buffer, uint32_t frames) override;
    void destroy() override;
    void setParameters(const NodeTag *) override {}
    uint32_t getAttribute(uint32_t, uint32_t *) override { return 0; }
    void reset() override;
    uint32_t mixInto(int32_t *mix, int16_t *scratch, int16_t leftGain, int16_t rightGain,
                     uint32_t frames) override;

    NodeList *voice = nullptr; // the track's voice chain, not owned

private:
    // The voice chain's last node; null when there is none.
    ProcessingNode *voiceEnd() const;
};

} // namespace dbm
