#include "graph/node.h"

namespace dbm {

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
