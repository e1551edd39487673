// The memory budget of our host: how many bytes the allocate service grants
// to the work of one thread.
//
// kvplay loads and renders each file on one thread from start to end, so a
// budget per thread is a budget per file (per stream) that needs no help
// from the plug-in, whose services take no context. Every block remembers
// the account it was charged to, so a block freed on another thread is
// still given back to the right one.
//
// All functions may be called from several threads at once.
#pragma once

#include <cstdint>

namespace kvhost {

// The most one thread may hold at once, in bytes; 0 (the default): no limit.
// Applies to every thread from the next request on.
void setMemoryBudget(uint64_t bytes);
uint64_t memoryBudget();

// Requests refused on the calling thread because they would have passed the
// budget, counted since the thread started.
uint64_t budgetRefusals();

// Used by the allocate and free services: a zero-filled block of `bytes`
// charged to the calling thread, or null when the budget or the system
// refuses it; and its release (null is ignored).
void *allocateCharged(uint64_t bytes);
void releaseCharged(void *block);

} // namespace kvhost
