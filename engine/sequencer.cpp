#include "engine/sequencer.h"
namespace dbm { // stub, to be written
uint32_t runTick(Engine *) { return 0; }
}
