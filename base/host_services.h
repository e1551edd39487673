// The plug-in's side of the host services: thin wrappers over the service
// record that InitPlugin stores. Every block, file and tag object the plug-in
// uses comes through here.
//
// Contract: InitPlugin must have stored a non-null service record before any
// of these is called. Allocation is zero-filled; a null result is a failure
// the caller reports (nothing is retried).
#pragma once

#include "base/host_api.h"

#include <cstddef>
#include <cstdint>
#include <new>

namespace dbm {

// Process-wide state, zero until InitPlugin runs.
struct PluginGlobals {
    Word *host;          // the host's service record
    uint32_t hostVersion; // word 3 of the info record given to InitPlugin
};
extern PluginGlobals pluginGlobals;

// Interface version of the host (word 0 of the service record, signed).
int32_t hostInterfaceVersion();

// A zero-filled block of count x size bytes from the host, or null.
void *hostAllocate(uint32_t count, uint32_t size);
// Gives a block back; null is accepted.
void hostFree(void *block);

// Opens a file through the host. With no adapter name and no tag object this
// calls open; otherwise open with tags, with the list
// {1, adapter} (when given), {6, tag object} (when given), end.
void *openFile(const char *name, int32_t mode, const char *adapterName, void *tagObject);
// Bytes read, 0 or less on failure.
int32_t hostRead(void *file, void *buffer, int32_t length);
void hostClose(void *file);

void *hostMakeTagObject(Word *userTags);
void hostFreeTagObject(void *object);

int32_t hostRegisterExtension(Word *info, int32_t kind, const char *name, const char *unused,
                              const char *extension);

// Constructs a T in a zero-filled host block; null when the host has none.
template <class T> T *hostNew()
{
    void *block = hostAllocate(1, static_cast<uint32_t>(sizeof(T)));
    return block ? new (block) T() : nullptr;
}

// Destroys a T made by hostNew (null accepted).
template <class T> void hostDelete(T *object)
{
    if (object) {
        object->~T();
        hostFree(object);
    }
}

// Room for count items of `size` bytes, asked for as one zero-filled block
// (count 1, size count x size). Null when the host has none or the product
// does not fit in 32 bits.
inline void *hostAllocateItems(uint32_t count, size_t size)
{
    if (size != 0 && count > UINT32_MAX / size)
        return nullptr;
    return hostAllocate(1, static_cast<uint32_t>(count * size));
}

// A zero-filled array of count T from the host, or null. T must be trivial.
template <class T> T *hostArray(uint32_t count)
{
    return static_cast<T *>(hostAllocateItems(count, sizeof(T)));
}

} // namespace dbm
