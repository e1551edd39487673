// NAME and INFO: the two chunks that may come before the counts are known.
#include "base/host_services.h"
#include "module/big_endian.h"
#include "module/chunk_handlers.h"
#include "module/release.h"
#include "module/text_field.h"

namespace dbm {

namespace {
constexpr uint32_t NAME_FIELD = 44;
constexpr uint32_t INFO_SIZE = 10;

// A zero-filled array, or null without asking the host when count is 0.
template <class T> T *slotArray(uint16_t count, bool &memoryFailed)
{
    if (count == 0)
        return nullptr;
    T *array = hostArray<T>(count);
    if (!array)
        memoryFailed = true;
    return array;
}
} // namespace

int32_t readNameChunk(Module &module, void *file, ChunkCursor &cursor)
{
    uint8_t field[NAME_FIELD];
    if (int32_t error = readChunkBytes(cursor, file, field, NAME_FIELD))
        return error;
    char *name = copyTextField(field, NAME_FIELD);
    if (!name)
        return LOAD_ERROR_MEMORY;
    hostFree(module.name);
    module.name = name;
    return 0;
}

int32_t readInfoChunk(Module &module, void *file, ChunkCursor &cursor)
{
    releaseSlotArrays(module);
    uint8_t body[INFO_SIZE];
    if (int32_t error = readChunkBytes(cursor, file, body, INFO_SIZE))
        return error;
    module.instrumentCount = bigEndian16(body);
    module.sampleCount = bigEndian16(body + 2);
    module.songCount = bigEndian16(body + 4);
    module.patternCount = bigEndian16(body + 6);
    module.trackCount = bigEndian16(body + 8);

    // Every count is checked and every array asked for before failing, so a
    // memory failure is reported ahead of bad data.
    bool badData = module.instrumentCount < 1 || module.instrumentCount > 255 ||
                   module.sampleCount < 1 || module.sampleCount > 255 || module.songCount < 1 ||
                   module.songCount > 255 || module.patternCount < 1 || module.trackCount < 2 ||
                   module.trackCount > 254 || module.trackCount % 2 != 0;
    bool memoryFailed = false;
    module.instruments = slotArray<Instrument *>(module.instrumentCount, memoryFailed);
    module.samples = slotArray<Sample *>(module.sampleCount, memoryFailed);
    module.songs = slotArray<Song *>(module.songCount, memoryFailed);
    module.patterns = slotArray<Pattern *>(module.patternCount, memoryFailed);
    module.trackFlags = slotArray<uint32_t>(module.trackCount, memoryFailed);

    module.echoDelay = 64;
    module.echoFeedback = 128;
    module.echoMix = 128;
    module.echoCross = 255;
    if (memoryFailed)
        return LOAD_ERROR_MEMORY;
    return badData ? LOAD_ERROR_DATA : 0;
}

} // namespace dbm
