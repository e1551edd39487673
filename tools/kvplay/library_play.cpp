#include "tools/kvplay/library_play.h"

#include "host/memory_budget.h"

namespace kvplay {
namespace {

void *allocate(void *, size_t size)
{
    return kvhost::allocateCharged(size);
}

void release(void *, void *block)
{
    kvhost::releaseCharged(block);
}

const dbmplay_allocator BUDGET = {allocate, release, nullptr};

} // namespace

PlayerPtr openLibraryPlayer(const ModuleSource &source)
{
    if (!source.problem.empty())
        return nullptr;
    if (source.bytes)
        return PlayerPtr(dbmplay_open_memory(source.bytes->data(), source.bytes->size(), &BUDGET, nullptr));
    return PlayerPtr(dbmplay_open_file(source.hostName.c_str(), &BUDGET, nullptr));
}

} // namespace kvplay
