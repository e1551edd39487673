#include "base/host_services.h"

namespace dbm {

PluginGlobals pluginGlobals;

namespace {

template <class Fn> Fn service(ServiceWord table, ServiceSlot slot)
{
    const HostFunction *functions = reinterpret_cast<const HostFunction *>(pluginGlobals.host[table]);
    return reinterpret_cast<Fn>(functions[slot]);
}

} // namespace

int32_t hostInterfaceVersion()
{
    return static_cast<int32_t>(pluginGlobals.host[SERVICE_INTERFACE_VERSION]);
}

void *hostAllocate(uint32_t count, uint32_t size)
{
    return service<HostAllocate>(SERVICE_MEMORY, MEMORY_ALLOCATE)(count, size);
}

void hostFree(void *block)
{
    if (block)
        service<HostFree>(SERVICE_MEMORY, MEMORY_FREE)(block);
}

void *openFile(const char *name, int32_t mode, const char *adapterName, void *tagObject)
{
    if (!adapterName && !tagObject)
        return service<HostOpen>(SERVICE_FILES, FILE_OPEN)(name, mode);
    Word tags[6];
    unsigned n = 0;
    if (adapterName) {
        tags[n++] = HOST_TAG_ADAPTER;
        tags[n++] = reinterpret_cast<Word>(adapterName);
    }
    if (tagObject) {
        tags[n++] = HOST_TAG_OBJECT;
        tags[n++] = reinterpret_cast<Word>(tagObject);
    }
    tags[n++] = HOST_TAG_END;
    tags[n] = 0;
    return service<HostOpenWithTags>(SERVICE_FILES, FILE_OPEN_WITH_TAGS)(name, mode, tags);
}

int32_t hostRead(void *file, void *buffer, int32_t length)
{
    return service<HostRead>(SERVICE_FILES, FILE_READ)(file, buffer, length);
}

void hostClose(void *file)
{
    service<HostClose>(SERVICE_FILES, FILE_CLOSE)(file);
}

void *hostMakeTagObject(Word *userTags)
{
    return service<HostMakeTagObject>(SERVICE_TAG_OBJECTS, TAG_OBJECT_MAKE)(userTags, 0);
}

void hostFreeTagObject(void *object)
{
    service<HostFreeTagObject>(SERVICE_TAG_OBJECTS, TAG_OBJECT_FREE)(object);
}

int32_t hostRegisterExtension(Word *info, int32_t kind, const char *name, const char *unused,
                              const char *extension)
{
    return service<HostRegisterExtension>(SERVICE_REGISTRY, REGISTRY_REGISTER_EXTENSION)(
        info, kind, name, unused, extension, 0, 0);
}

} // namespace dbm
