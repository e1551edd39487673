// Fuzz target: the input is a module file; the reader loads it (or refuses
// it) and the module is freed again.
#include "fuzz/fuzz_host.h"
#include "module/loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzhost::serve(data, size);
    int32_t error = 0;
    dbm::Module *module = dbm::loadModule(fuzzhost::FILE_NAME, &error, nullptr, nullptr);
    if (module == nullptr && (error < dbm::LOAD_ERROR_OPEN || error > dbm::LOAD_ERROR_ORDER))
        __builtin_trap(); // a refusal always names its reason
    dbm::freeModule(module);
    fuzzhost::checkNothingHeld();
    return 0;
}
