#include "module/chunk_reader.h"

#include "base/host_services.h"

#include <cstring>

namespace dbm {

namespace {
// The host read takes a signed 32-bit length; larger requests go in pieces.
constexpr uint32_t LARGEST_HOST_READ = 1u << 30;
constexpr uint32_t SKIP_BLOCK = 512;
} // namespace

int64_t readAvailable(void *file, void *buffer, uint32_t count)
{
    auto *bytes = static_cast<uint8_t *>(buffer);
    uint32_t delivered = 0;
    while (delivered < count) {
        uint32_t piece = count - delivered;
        if (piece > LARGEST_HOST_READ)
            piece = LARGEST_HOST_READ;
        int32_t got = hostRead(file, bytes + delivered, static_cast<int32_t>(piece));
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        delivered += uint32_t(got) < piece ? uint32_t(got) : piece;
    }
    return delivered;
}

int32_t readChunkBytes(ChunkCursor &cursor, void *file, void *buffer, uint32_t count)
{
    if (count > chunkBytesLeft(cursor))
        return 3;
    if (count == 0)
        return 0;
    int64_t delivered = readAvailable(file, buffer, count);
    if (delivered <= 0)
        return 5;
    if (delivered < count)
        std::memset(static_cast<uint8_t *>(buffer) + delivered, 0, size_t(count - delivered));
    cursor.consumed += count;
    return 0;
}

int32_t skipChunkRest(ChunkCursor &cursor, void *file)
{
    uint8_t scratch[SKIP_BLOCK];
    while (cursor.consumed < cursor.length) {
        uint32_t piece = chunkBytesLeft(cursor);
        if (piece > SKIP_BLOCK)
            piece = SKIP_BLOCK;
        int64_t delivered = readAvailable(file, scratch, piece);
        if (delivered != piece)
            return 5;
        cursor.consumed += piece;
    }
    return 0;
}

} // namespace dbm
