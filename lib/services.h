// The host services the player core asks for (zero-filled memory, files),
// served by the library itself so that it needs no host.
//
// The core reaches its services through one process-wide service record,
// whose functions take no context. Which player a request belongs to is
// known from the call in progress on the calling thread: every entry point
// that may reach the core holds a ServiceCall for as long as it runs. Memory
// then comes from that player's allocator and files are that call's module
// source. Calls may nest on one thread (a read function that uses another
// player); the innermost is served. With no call in progress every request
// fails.
#pragma once

#include "dbmplay.h"
#include "lib/module_source.h"

namespace dbmplay {

class ServiceCall {
public:
    // `allocator` must stay valid for the call; `source` may be null (no file
    // can then be opened).
    ServiceCall(const dbmplay_allocator &allocator, ModuleSource *source = nullptr);
    ~ServiceCall();
    ServiceCall(const ServiceCall &) = delete;
    ServiceCall &operator=(const ServiceCall &) = delete;

    // True when some memory request of this call was refused.
    bool memoryFailed() const { return memoryFailed_; }

private:
    friend struct ServiceAccess;
    const dbmplay_allocator &allocator_;
    ModuleSource *source_;
    bool memoryFailed_ = false;
    ServiceCall *outer_;
};

// The allocator given, or the C library's malloc and free when it is null.
// Null when the allocator given lacks a function.
const dbmplay_allocator *chooseAllocator(const dbmplay_allocator *given);

} // namespace dbmplay
