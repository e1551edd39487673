#include "graph/parameters.h"
namespace dbm { // stubs, to be written
void stepEnvelopes(Engine *) {}
int16_t stepEnvelope(EnvelopeState &, const Envelope &, unsigned) { return 0; }
void pushTrackParameters(Engine *) {}
void pushPitch(Engine *, TrackState &, uint16_t) {}
}
