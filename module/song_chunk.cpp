// SONG: per song a 44-byte name, an order count and the order list.
#include "base/host_services.h"
#include "module/big_endian.h"
#include "module/chunk_handlers.h"
#include "module/release.h"
#include "module/text_field.h"

namespace dbm {

namespace {
constexpr uint32_t SONG_NAME_FIELD = 44;
constexpr uint32_t SONG_HEAD = 46;

// Fills a song already in its slot; on failure the slot keeps it for freeModule.
int32_t readSong(Song &song, void *file, ChunkCursor &cursor)
{
    uint8_t head[SONG_HEAD];
    if (int32_t error = readChunkBytes(cursor, file, head, SONG_HEAD))
        return error;
    song.name = copyTextField(head, SONG_NAME_FIELD);
    if (!song.name)
        return LOAD_ERROR_MEMORY;
    song.orderCount = bigEndian16(head + SONG_NAME_FIELD);
    if (song.orderCount == 0)
        return 0; // no order list; the checks refuse this only for song 0
    song.orders = hostArray<uint16_t>(song.orderCount);
    if (!song.orders)
        return LOAD_ERROR_MEMORY;
    auto *bytes = reinterpret_cast<uint8_t *>(song.orders);
    if (int32_t error = readChunkBytes(cursor, file, bytes, 2u * song.orderCount))
        return error;
    for (unsigned i = 0; i < song.orderCount; ++i)
        song.orders[i] = bigEndian16(bytes + 2 * i);
    return 0;
}
} // namespace

int32_t readSongChunk(Module &module, void *file, ChunkCursor &cursor)
{
    for (unsigned s = 0; s < module.songCount; ++s) {
        releaseSong(module.songs[s]);
        module.songs[s] = hostNew<Song>();
        if (!module.songs[s])
            return LOAD_ERROR_MEMORY;
        if (int32_t error = readSong(*module.songs[s], file, cursor))
            return error;
    }
    return 0;
}

} // namespace dbm
