#include "module/module.h"
namespace dbm {
void freeModule(Module *) {} // stub, to be written
}
