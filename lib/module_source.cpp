#include "lib/module_source.h"

#include <cstring>

namespace dbmplay {

ModuleSource pathSource(const char *path)
{
    ModuleSource source{};
    source.kind = ModuleSource::PATH;
    source.path = path;
    return source;
}

ModuleSource memorySource(const void *data, size_t size)
{
    ModuleSource source{};
    source.kind = ModuleSource::MEMORY;
    source.data = static_cast<const uint8_t *>(data);
    source.size = size;
    return source;
}

ModuleSource readerSource(dbmplay_read_function read, void *user)
{
    ModuleSource source{};
    source.kind = ModuleSource::READER;
    source.read = read;
    source.user = user;
    return source;
}

bool openSource(ModuleSource &source)
{
    if (source.kind != ModuleSource::PATH)
        return true;
    source.file = std::fopen(source.path, "rb");
    return source.file != nullptr;
}

int32_t readSource(ModuleSource &source, void *buffer, int32_t length)
{
    const size_t wanted = static_cast<size_t>(length);
    switch (source.kind) {
    case ModuleSource::PATH: {
        const size_t got = std::fread(buffer, 1, wanted, source.file);
        return got == 0 && std::ferror(source.file) ? -1 : static_cast<int32_t>(got);
    }
    case ModuleSource::MEMORY: {
        const size_t left = source.size - source.offset;
        const size_t got = wanted < left ? wanted : left;
        if (got > 0)
            std::memcpy(buffer, source.data + source.offset, got);
        source.offset += got;
        return static_cast<int32_t>(got);
    }
    case ModuleSource::READER: {
        const long got = source.read(source.user, buffer, wanted);
        return got < 0 || static_cast<unsigned long>(got) > wanted ? -1 : static_cast<int32_t>(got);
    }
    }
    return -1;
}

void closeSource(ModuleSource &source)
{
    if (source.file)
        std::fclose(source.file);
    source.file = nullptr;
}

} // namespace dbmplay
