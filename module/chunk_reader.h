// Reading a DBM0 file front to back: whole reads through the host, and the
// bounded read that keeps every chunk handler inside its chunk's body.
//
// Callers: the loader (header, chunk headers, skipping) and every chunk
// handler. Results are 0 or a LoadError code.
#pragma once

#include <cstdint>

namespace dbm {

// The chunk being read: its body length from the header and the bytes of the
// body taken so far (never more than `length`).
struct ChunkCursor {
    uint32_t length;
    uint32_t consumed;
};

// Asks the host for `count` bytes, again and again until all have arrived or
// the host gives 0 or less. Returns the number of bytes delivered, or -1
// when the host reported an error: a failed read is never taken for the
// end of the file.
int64_t readAvailable(void *file, void *buffer, uint32_t count);

inline uint32_t chunkBytesLeft(const ChunkCursor &cursor)
{
    return cursor.length - cursor.consumed;
}

// Reads `count` bytes of the chunk body into `buffer`.
// 3 (nothing read) when the body has fewer bytes left; 5 when the host
// delivers nothing or reports an error. A delivery cut short by the end of the file counts as
// complete and the undelivered rest of the buffer is zeroed, so no stale
// bytes survive.
int32_t readChunkBytes(ChunkCursor &cursor, void *file, void *buffer, uint32_t count);

// Reads and drops the rest of the body; 5 when the file ends first or a read fails.
int32_t skipChunkRest(ChunkCursor &cursor, void *file);

} // namespace dbm
