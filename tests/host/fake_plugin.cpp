// A shared object that looks more or less like a plug-in, for the loader's
// failure tests. The variant is chosen when it is compiled:
//   FAKE_HEADER_VERSION  the header's version; no header when undefined
//   FAKE_LOOKUP_IN_DATA  the header's lookup address points at writable data
//                        (read-only data shares the code's segment on some targets)
//   FAKE_INIT_RESULT     what InitPlugin returns; no InitPlugin when undefined
#include "base/host_api.h"

#include <cstring>

namespace {

#ifdef FAKE_INIT_RESULT
extern "C" int32_t fakeInitPlugin(dbm::Word *, dbm::Word *)
{
    return FAKE_INIT_RESULT;
}
#endif

extern "C" __attribute__((used)) void *fakeLookup(const char *name)
{
#ifdef FAKE_INIT_RESULT
    if (std::strcmp(name, "InitPlugin") == 0)
        return reinterpret_cast<void *>(&fakeInitPlugin);
#endif
    (void)name;
    return nullptr;
}

#ifdef FAKE_LOOKUP_IN_DATA
uint32_t notCode[4] = {1, 2, 3, 4};
#endif

} // namespace

#ifdef FAKE_HEADER_VERSION
extern "C" __attribute__((used)) const dbm::PluginHeader fakeHeader = {
    {'K', 'E', 'S', 'T', 'R', 'O', 'V', 'A'},
    FAKE_HEADER_VERSION,
#ifdef FAKE_LOOKUP_IN_DATA
    reinterpret_cast<dbm::PluginLookup>(notCode),
#else
    &fakeLookup,
#endif
};
#endif
