#include "host/read_trail.h"

namespace kvhost {
namespace {

thread_local ReadTrail trail;

} // namespace

ReadTrail readTrail()
{
    return trail;
}

void startReadTrail()
{
    trail = ReadTrail{};
}

void noteRead(int32_t asked, int32_t got)
{
    if (got <= 0) {
        trail.ended = true;
        return;
    }
    trail.delivered += uint64_t(got);
    if (got < asked)
        trail.shortRead = true;
}

} // namespace kvhost
