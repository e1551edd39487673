#include "engine/render.h"
namespace dbm { // stubs, to be written
uint32_t renderFrames(Engine *, uint32_t, int16_t *) { return 0; }
void computeTickLength(Engine *) {}
}
