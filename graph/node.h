// The processing node: the common head of every node kind, the node lists
// that make a track's chains, and the tag and attribute vocabulary.
//
// Contract of every node kind:
// - pull(buffer, frames) writes exactly `frames` frames (mono or stereo, by
//   kind) and returns 1 while the voice still sounds, 0 once its sample has
//   ended. frames == 0 returns 1 and writes nothing. pull never allocates.
// - destroy() frees the node's own buffers, then the node. It does not unlink
//   the node: callers unlink first.
// - setParameters(tags) applies a tag list in order; unknown ids are ignored.
// - getAttribute(id, out) returns 1 after storing the value when the node
//   knows the id, else 0 and stores nothing.
// - reset() drops history. Resampler and pan delay first forward the reset to
//   their predecessor when they have one.
// - mixInto(mix, scratch, leftGain, rightGain, frames), for the nodes that
//   write stereo frames (the last node of a voice or output chain): adds the
//   frames that pull would write, scaled by the 2.14 gains as the track's
//   gain stage does (graph/gain_stage.h), into `mix` (2 x frames values) and
//   returns what pull would return. `scratch` holds 2 x frames values that
//   the node may use and leaves undefined. By default it pulls into scratch
//   and adds from there. The track output passes the call on to its voice
//   chain; in builds without SSE2 the pan delay (through the resampler before
//   it) and the echo add their frames as they make them, without the round
//   trip through memory.
// Every node is one zero-filled block from the host's allocate service.
#pragma once

#include <cstdint>

namespace dbm {

enum NodeKind : uint32_t {
    NODE_SAMPLE_SOURCE = 1,
    NODE_RESAMPLER = 2,
    NODE_PAN_DELAY = 3,
    NODE_ECHO = 4,
    NODE_TRACK_OUTPUT = 5,
};

enum TagId : uint32_t {
    TAG_END = 0,
    TAG_RESAMPLE_STEP = 1, // unsigned 16.16 source frames per output frame
    TAG_POSITION = 2,      // start frame; from the end when playing backwards
    TAG_BACKWARDS = 6,     // non-zero: play backwards
    TAG_PANNING = 10,      // -128..128
    TAG_ECHO_DELAY = 11,   // units of 2 ms
    TAG_ECHO_FEEDBACK = 12,
    TAG_ECHO_MIX = 13,
    TAG_ECHO_CROSS = 14,
};

enum AttributeId : uint32_t {
    ATTR_POSITION = 2,
    ATTR_ECHO_MODE = 15,
};

enum EchoMode : uint32_t { ECHO_GLOBAL = 1, ECHO_TRACK = 2 };

struct NodeTag {
    uint32_t id;
    uint32_t value;
};

class ProcessingNode {
public:
    ProcessingNode *next = nullptr; // following node, null after the last
    ProcessingNode *prev = nullptr; // preceding node, null before the first

    virtual uint32_t pull(int16_t *buffer, uint32_t frames) = 0;
    virtual void destroy() = 0;
    virtual void setParameters(const NodeTag *tags) = 0;
    virtual uint32_t getAttribute(uint32_t id, uint32_t *out) = 0;
    virtual void reset() = 0;
    virtual uint32_t mixInto(int32_t *mix, int16_t *scratch, int16_t leftGain, int16_t rightGain,
                             uint32_t frames);

    uint32_t kind = 0;

protected:
    explicit ProcessingNode(uint32_t nodeKind) : kind(nodeKind) {}
    ~ProcessingNode() = default;

    // Pulls `frames` frames of `channels` values each from the preceding
    // node. Without one the buffer gets silence and the result is 1, as for
    // a node that made no pull.
    uint32_t pullPredecessor(int16_t *buffer, uint32_t frames, uint32_t channels)
    {
        if (prev)
            return prev->pull(buffer, frames);
        const uint64_t values = uint64_t(frames) * channels;
        for (uint64_t i = 0; i < values; ++i)
            buffer[i] = 0;
        return 1;
    }
};

// A doubly linked list of nodes, first to last.
struct NodeList {
    ProcessingNode *head = nullptr;
    ProcessingNode *tail = nullptr;

    bool empty() const { return head == nullptr; }
    ProcessingNode *last() const { return tail; }
    void append(ProcessingNode *node);
    void unlink(ProcessingNode *node);
};

// Unlinks and destroys every node, first to last; the list is left empty.
void freeChain(NodeList &list);

} // namespace dbm
