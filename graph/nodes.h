// Constructors of the node kinds. Each returns the node, or null with nothing
// left allocated when the host has no memory. Each kind's own header states
// its contract.
#pragma once

#include "graph/node.h"

namespace dbm {

ProcessingNode *createSampleSource(const int16_t *data, int32_t loopStart, int32_t loopLength,
                                   int32_t length, uint32_t loopMode);
ProcessingNode *createResampler();
ProcessingNode *createPanDelay(const int16_t *delayTable);
ProcessingNode *createEcho(uint32_t sampleRate, uint32_t mode);
// Pulls and resets the last node of `voice`, which must not be empty then.
ProcessingNode *createTrackOutput(NodeList *voice);

} // namespace dbm
