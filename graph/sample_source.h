// The sample source: first node of a voice chain. Reads a sample's 16-bit
// mono frames one for one, forwards or backwards, follows its loop (forward
// or ping-pong) and pads with silence once a sample without loop has ended.
//
// Contract:
// - createSampleSource(data, loopStart, loopLength, length, loopMode) returns
//   null when the host has no memory, when length is negative or data is null
//   with length > 0, or when loopMode is not 0 and the loop (at least one
//   frame) does not lie inside the sample. data is not owned and must outlive
//   the node. loopMode 0: no loop, 1: forward loop, any other: ping-pong.
// - pull writes mono frames; returns 0 when this call ran past an end of the
//   sample, else 1. Once ended, every pull writes silence and returns 0.
// - setParameters: TAG_BACKWARDS v (non-zero plays backwards), TAG_POSITION v
//   (signed start frame, counted from the end when backwards; clamped into
//   0..length). The loop events are set up afresh after a list that holds
//   TAG_BACKWARDS, so send it before TAG_POSITION in one list.
// - getAttribute: ATTR_POSITION gives the cursor (0..length).
// - reset does nothing; destroy frees the node only.
// A loop event fires at most `remaining` more times; one whose count is used
// up is ignored, so the source then plays on through the sample.
#pragma once

#include "graph/node.h"
#include "module/module.h" // LoopMode

namespace dbm {

enum Direction : uint32_t { DIRECTION_FORWARD = 1, DIRECTION_BACKWARD = 2 };

// A cursor position at which the source changes course.
struct LoopEvent {
    int32_t position = 0;      // fires when the cursor reaches it
    int32_t adjust = 0;        // added to the cursor when it fires
    uint32_t direction = 0;    // fires only while moving this way
    uint32_t newDirection = 0; // direction after firing
    int32_t remaining = 0;     // firings left; 0 disables the event
};

class SampleSourceNode final : public ProcessingNode {
public:
    SampleSourceNode() : ProcessingNode(NODE_SAMPLE_SOURCE) {}
    ~SampleSourceNode() = default;

    uint32_t pull(int16_t *buffer, uint32_t frames) override;
    void destroy() override;
    void setParameters(const NodeTag *tags) override;
    uint32_t getAttribute(uint32_t id, uint32_t *out) override;
    void reset() override {}

    // Arms the events for the loop mode and the current `backwards`, each
    // with the full firing count.
    void setUpLoopEvents();

    const int16_t *data = nullptr; // not owned
    int32_t length = 0;
    int32_t position = 0; // cursor between frames, 0..length
    int32_t loopStart = 0;
    int32_t loopEnd = 0; // last frame of the loop, inclusive
    uint32_t direction = DIRECTION_FORWARD;
    uint32_t loopMode = LOOP_NONE;
    uint32_t backwards = 0;
    LoopEvent *eventA = nullptr;
    LoopEvent *eventB = nullptr;
    LoopEvent eventRecordA;
    LoopEvent eventRecordB;

private:
    uint32_t forwardStretch(int16_t *&out, int64_t &frames);
    uint32_t backwardStretch(int16_t *&out, int64_t &frames);

    // Frames in one whole cycle over the loop that starts at the cursor and
    // ends back there (one pass for a forward loop, two for ping-pong); 0 when
    // the cursor is not at the loop end where such a cycle starts.
    int64_t loopCycleLength() const;
    // Writes one pass over the loop's frames in the given direction; returns
    // the end of what it wrote.
    int16_t *copyLoopPass(int16_t *out, uint32_t passDirection) const;
    // Plays as many whole loop cycles as `frames` and the events' firing
    // counts allow at once, exactly as the stretches would one by one: each
    // cycle fires each of its events once, and `frames` always keeps at least
    // one frame for the stretches. Does nothing away from a cycle start.
    void repeatLoopCycles(int16_t *&out, int64_t &frames);
};

} // namespace dbm
