#include "engine/lifecycle.h"
namespace dbm { // stubs, to be written
Engine *createEngine(const Module *, uint32_t, uint32_t) { return nullptr; }
void destroyEngine(Engine *) {}
int32_t setOutputLevel(Engine *, int16_t) { return 0; }
void setPosition(Engine *, uint32_t, int32_t, int32_t) {}
void resetEngine(Engine *) {}
void resetTracks(Engine *) {}
void buildPanDelayTable(int16_t *, uint32_t) {}
}
