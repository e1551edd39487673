// DSPE: which tracks get an echo, and the echo settings.
#include "module/big_endian.h"
#include "module/chunk_handlers.h"

namespace dbm {

namespace {
constexpr unsigned MOST_TRACKS = 254;
constexpr uint32_t ECHO_VALUES = 8;
} // namespace

int32_t readEchoChunk(Module &module, void *file, ChunkCursor &cursor)
{
    uint8_t count[2];
    if (int32_t error = readChunkBytes(cursor, file, count, 2))
        return error;
    if (bigEndian16(count) != module.trackCount)
        return LOAD_ERROR_DATA;
    uint8_t trackBytes[MOST_TRACKS];
    uint8_t values[ECHO_VALUES];
    if (int32_t error = readChunkBytes(cursor, file, trackBytes, module.trackCount))
        return error;
    if (int32_t error = readChunkBytes(cursor, file, values, ECHO_VALUES))
        return error;
    // Bits are only ever set, so two DSPE chunks add up.
    for (unsigned t = 0; t < module.trackCount; ++t)
        if (trackBytes[t] == 0)
            module.trackFlags[t] |= TRACK_FLAG_ECHO;
    // The low byte of each 16-bit value.
    module.echoDelay = values[1];
    module.echoFeedback = values[3];
    module.echoMix = values[5];
    module.echoCross = values[7];
    return 0;
}

} // namespace dbm
