#include "graph/nodes.h"
namespace dbm { // stubs, to be replaced by one file per node kind
ProcessingNode *createSampleSource(const int16_t *, int32_t, int32_t, int32_t, uint32_t) { return nullptr; }
ProcessingNode *createResampler() { return nullptr; }
ProcessingNode *createPanDelay(const int16_t *) { return nullptr; }
ProcessingNode *createEcho(uint32_t, uint32_t) { return nullptr; }
ProcessingNode *createTrackOutput(NodeList *) { return nullptr; }
}
