#include "graph/track_output.h"

#include "base/host_services.h"
#include "graph/nodes.h"

namespace dbm {

ProcessingNode *createTrackOutput(NodeList *voice)
{
    TrackOutputNode *node = hostNew<TrackOutputNode>();
    if (!node)
        return nullptr;
    node->voice = voice;
    return node;
}

ProcessingNode *TrackOutputNode::voiceEnd() const
{
    return voice ? voice->last() : nullptr;
}

uint32_t TrackOutputNode::pull(int16_t *buffer, uint32_t frames)
{
    if (ProcessingNode *last = voiceEnd())
        return last->pull(buffer, frames);
    for (uint64_t i = 0; i < 2 * uint64_t(frames); ++i)
        buffer[i] = 0;
    return 0;
}

uint32_t TrackOutputNode::mixInto(int32_t *mix, int16_t *scratch, int16_t leftGain,
                                  int16_t rightGain, uint32_t frames)
{
    if (ProcessingNode *last = voiceEnd())
        return last->mixInto(mix, scratch, leftGain, rightGain, frames);
    return 0;
}

void TrackOutputNode::destroy()
{
    hostDelete(this);
}

void TrackOutputNode::reset()
{
    if (ProcessingNode *last = voiceEnd())
        last->reset();
}

} // namespace dbm
