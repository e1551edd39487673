// loadModule: the header, the chunk walk and the final checks.
#include "module/loader.h"

#include "base/host_services.h"
#include "module/big_endian.h"
#include "module/chunk_handlers.h"

namespace dbm {

namespace {
constexpr uint32_t HEADER_BYTES = 8;

struct ChunkKind {
    char id[4];
    bool needsInfo;
    int32_t (*read)(Module &, void *, ChunkCursor &);
};

constexpr ChunkKind CHUNK_KINDS[] = {
    {{'N', 'A', 'M', 'E'}, false, readNameChunk},
    {{'I', 'N', 'F', 'O'}, false, readInfoChunk},
    {{'S', 'O', 'N', 'G'}, true, readSongChunk},
    {{'I', 'N', 'S', 'T'}, true, readInstrumentChunk},
    {{'P', 'A', 'T', 'T'}, true, readPatternChunk},
    {{'S', 'M', 'P', 'L'}, true, readSampleChunk},
    {{'V', 'E', 'N', 'V'}, true, readVolumeEnvelopeChunk},
    {{'P', 'E', 'N', 'V'}, true, readPanningEnvelopeChunk},
    {{'D', 'S', 'P', 'E'}, true, readEchoChunk},
};

const ChunkKind *findChunkKind(const uint8_t *id)
{
    for (const ChunkKind &kind : CHUNK_KINDS)
        if (id[0] == uint8_t(kind.id[0]) && id[1] == uint8_t(kind.id[1]) &&
            id[2] == uint8_t(kind.id[2]) && id[3] == uint8_t(kind.id[3]))
            return &kind;
    return nullptr;
}

int32_t readHeader(Module &module, void *file)
{
    uint8_t header[HEADER_BYTES] = {};
    if (readAvailable(file, header, HEADER_BYTES) <= 0)
        return LOAD_ERROR_READ;
    if (header[0] != 'D' || header[1] != 'B' || header[2] != 'M' || header[3] != '0')
        return LOAD_ERROR_DATA;
    module.revision = static_cast<uint16_t>((header[5] >> 4) * 10 + (header[5] & 0x0F));
    if (header[4] != 2 && header[4] != 3)
        return LOAD_ERROR_VERSION;
    module.version = header[4];
    return 0;
}

// Every chunk up to the end of the file. Fewer than 8 bytes where a chunk
// header would start are taken as the end of the file; a failed read is not.
int32_t walkChunks(Module &module, void *file, bool &infoRead)
{
    for (;;) {
        uint8_t header[HEADER_BYTES];
        int64_t delivered = readAvailable(file, header, HEADER_BYTES);
        if (delivered < 0)
            return LOAD_ERROR_READ;
        if (delivered < HEADER_BYTES)
            return 0;
        ChunkCursor cursor{bigEndian32(header + 4), 0};
        if (const ChunkKind *kind = findChunkKind(header)) {
            if (kind->needsInfo && !infoRead)
                return LOAD_ERROR_ORDER;
            if (int32_t error = kind->read(module, file, cursor))
                return error;
            if (kind->read == readInfoChunk)
                infoRead = true;
        }
        if (int32_t error = skipChunkRest(cursor, file))
            return error;
    }
}

int32_t readModule(Module &module, void *file)
{
    if (int32_t error = readHeader(module, file))
        return error;
    bool infoRead = false;
    if (int32_t error = walkChunks(module, file, infoRead))
        return error;
    return checkModule(module, infoRead);
}
} // namespace

Module *loadModule(const char *fileName, int32_t *errorCode, const char *adapterName, void *tagObject)
{
    void *file = openFile(fileName, 0, adapterName, tagObject);
    if (!file) {
        if (errorCode)
            *errorCode = LOAD_ERROR_OPEN;
        return nullptr;
    }
    int32_t error = LOAD_ERROR_MEMORY;
    Module *module = hostNew<Module>();
    if (module)
        error = readModule(*module, file);
    hostClose(file);
    if (error == 0)
        return module;
    freeModule(module);
    if (errorCode)
        *errorCode = error;
    return nullptr;
}

} // namespace dbm
