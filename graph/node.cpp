#include "graph/node.h"

#include "graph/gain_stage.h"

namespace dbm {

uint32_t ProcessingNode::mixInto(int32_t *mix, int16_t *scratch, int16_t leftGain,
                                 int16_t rightGain, uint32_t frames)
{
    const uint32_t result = pull(scratch, frames);
    addScaledFrames(mix, scratch, leftGain, rightGain, frames);
    return result;
}

void NodeList::append(ProcessingNode *node)
{
    node->next = nullptr;
    node->prev = tail;
    if (tail)
        tail->next = node;
    else
        head = node;
    tail = node;
}

void NodeList::unlink(ProcessingNode *node)
{
    if (node->prev)
        node->prev->next = node->next;
    else
        head = node->next;
    if (node->next)
        node->next->prev = node->prev;
    else
        tail = node->prev;
    node->next = node->prev = nullptr;
}

void freeChain(NodeList &list)
{
    while (ProcessingNode *node = list.head) {
        list.unlink(node);
        node->destroy();
    }
}

} // namespace dbm
