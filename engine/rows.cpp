#include "engine/rows.h"
namespace dbm { // stubs, to be written (may be split into several files)
void processRow(Engine *) {}
void applyInstrumentDefaults(Engine *, TrackState &) {}
void keyOff(TrackState &) {}
void restartVoice(const Module *, TrackState &) {}
void applyRowEffect(Engine *, TrackState &, uint8_t, uint8_t) {}
void applyExtendedEffect(Engine *, TrackState &, uint8_t) {}
uint8_t decodeBcd(uint8_t) { return 0; }
void setEchoParameters(Engine *, TrackState &) {}
void applySlides(Engine *) {}
void runCountdowns(Engine *) {}
}
