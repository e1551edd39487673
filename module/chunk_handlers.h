// The handlers of the DBM0 chunks, one per chunk kind. The loader calls each
// with the module being built, the open file and the cursor of the chunk's
// body; every handler except NAME and INFO runs only after INFO.
//
// Each returns 0 or a LoadError code. On failure every record is either in
// its slot of the module or already released, so freeModule cleans up. A
// chunk kind met again replaces, and first releases, what the earlier one
// stored.
#pragma once

#include "module/chunk_reader.h"
#include "module/loader.h"
#include "module/module.h"

namespace dbm {

int32_t readNameChunk(Module &module, void *file, ChunkCursor &cursor);
int32_t readInfoChunk(Module &module, void *file, ChunkCursor &cursor);
int32_t readSongChunk(Module &module, void *file, ChunkCursor &cursor);
int32_t readInstrumentChunk(Module &module, void *file, ChunkCursor &cursor);
int32_t readVolumeEnvelopeChunk(Module &module, void *file, ChunkCursor &cursor);
int32_t readPanningEnvelopeChunk(Module &module, void *file, ChunkCursor &cursor);
int32_t readPatternChunk(Module &module, void *file, ChunkCursor &cursor);
int32_t readSampleChunk(Module &module, void *file, ChunkCursor &cursor);
int32_t readEchoChunk(Module &module, void *file, ChunkCursor &cursor);

// The checks made once the whole file is read, which also link envelopes to
// their instruments; 0 or 3. `infoRead` tells whether an INFO chunk came.
int32_t checkModule(Module &module, bool infoRead);

} // namespace dbm
