// The binary interface between the plug-in and its host.
//
// Every record the two sides exchange (the plug-in info record, the service
// record, the stream format, the sample request, tag lists) is an array of
// machine words: 32-bit words on the 32-bit target, pointer-sized words on
// 64-bit hosts. Both sides index these arrays with the constants below.
#pragma once

#include <cstdint>

namespace dbm {

using Word = uintptr_t;

// A host function as stored in a service table; cast to its real type
// (the typedefs below) before calling.
using HostFunction = void (*)();

// Words of the host service record.
enum ServiceWord : unsigned {
    SERVICE_INTERFACE_VERSION = 0, // signed interface version
    SERVICE_MEMORY = 2,            // table: allocate, free
    SERVICE_REGISTRY = 3,          // table: register extension
    SERVICE_FILES = 4,             // table: open, close, read, open with tags
    SERVICE_TAG_OBJECTS = 15,      // table: make and free tag objects
    SERVICE_RECORD_WORDS = 16,
};

// Slots in the service tables.
enum ServiceSlot : unsigned {
    MEMORY_ALLOCATE = 1,
    MEMORY_FREE = 3,
    MEMORY_SLOTS = 4,
    REGISTRY_REGISTER_EXTENSION = 19,
    REGISTRY_SLOTS = 20,
    FILE_OPEN = 0,
    FILE_CLOSE = 1,
    FILE_READ = 3,
    FILE_OPEN_WITH_TAGS = 32,
    FILE_SLOTS = 33,
    TAG_OBJECT_MAKE = 4,
    TAG_OBJECT_FREE = 5,
    TAG_OBJECT_SLOTS = 6,
};

// Host tag ids understood by the open-with-tags service.
enum HostTag : Word {
    HOST_TAG_END = 0,
    HOST_TAG_ADAPTER = 1,
    HOST_TAG_OBJECT = 6,
};

extern "C" {
using HostAllocate = void *(*)(uint32_t count, uint32_t size);
using HostFree = void (*)(void *block);
using HostRegisterExtension = int32_t (*)(Word *info, int32_t kind, const char *name,
                                          const char *unused, const char *extension,
                                          int32_t, int32_t);
using HostOpen = void *(*)(const char *name, int32_t mode);
using HostOpenWithTags = void *(*)(const char *name, int32_t mode, Word *tags);
using HostClose = void (*)(void *file);
using HostRead = int32_t (*)(void *file, void *buffer, int32_t length);
using HostMakeTagObject = void *(*)(Word *userTags, int32_t zero);
using HostFreeTagObject = void (*)(void *object);

// The plug-in's operations, looked up by name through the header.
using PluginLookup = void *(*)(const char *name);
using InitPluginFn = int32_t (*)(Word *info, Word *host);
using ClosePluginFn = void (*)(void);
using GetFormatNameFn = const char *(*)(void);
using OpenStreamFn = void *(*)(const char *file, Word *format);
using CloseStreamFn = void (*)(void *stream);
using SeekStreamFn = void (*)(void *stream, uint32_t frame);
using StreamSamplesFn = int32_t (*)(void *stream, Word *request);
}

// The header the host finds in the loaded plug-in: "KESTROVA", version 3 and
// the address of the lookup routine. 16 bytes where pointers are 4 bytes.
struct PluginHeader {
    char magic[8];
    uint32_t version;
    PluginLookup lookup;
};
static_assert(sizeof(void *) != 4 || sizeof(PluginHeader) == 16,
              "the header is 16 bytes on the 32-bit target");

constexpr uint32_t PLUGIN_HEADER_VERSION = 3;

// Words of the plug-in info record.
enum InfoWord : unsigned {
    INFO_CAPABILITIES = 0,
    INFO_PLUGIN_VERSION = 1,
    INFO_PLUGIN_REVISION = 2,
    INFO_HOST_VERSION = 3,
    INFO_HOST_REVISION = 4,
    INFO_NAME = 5,
    INFO_BASE_NAME = 6,
    INFO_AUTHOR = 7,
    INFO_DESCRIPTION = 8,
    INFO_LICENCE = 9,
    INFO_URL = 10,
    INFO_DATE = 11,
    INFO_WORDS = 14,
};

// Words of the stream format record given to OpenStream.
enum FormatWord : unsigned {
    FORMAT_LENGTH = 0,
    FORMAT_CHANNELS = 1,
    FORMAT_BITS = 2,
    FORMAT_FREQUENCY = 3,
    FORMAT_FLAGS = 4,
    FORMAT_ADAPTER = 7,
    FORMAT_USER_TAGS = 8,
    FORMAT_WORDS = 9,
};

// Words of the sample request given to StreamSamples.
enum RequestWord : unsigned {
    REQUEST_BUFFER = 0,
    REQUEST_FRAMES = 1,
    REQUEST_WRITTEN = 2,
    REQUEST_DONE = 3,
    REQUEST_WORDS = 4,
};

} // namespace dbm
