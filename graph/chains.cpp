#include "graph/chains.h"
namespace dbm { // stubs, to be written
uint32_t buildVoiceChain(Engine *, TrackState &, uint32_t) { return 0; }
uint32_t addEcho(Engine *, TrackState &, uint32_t) { return 0; }
void removeEcho(TrackState &) {}
void sendVoiceTags(TrackState &, const NodeTag *) {}
void sendOutputTags(TrackState &, const NodeTag *) {}
int32_t queryOutputChain(TrackState &, uint32_t) { return 0; }
}
