// SMPL: per sample a flags word, a length in frames and the big-endian data
// in 8, 16 or 32 bits, converted to 16-bit frames in host order.
#include "module/big_endian.h"
#include "module/chunk_handlers.h"
#include "module/release.h"
#include "plugin/host_services.h"

namespace dbm {

namespace {
constexpr uint32_t SAMPLE_HEAD = 8;
constexpr uint32_t SCRATCH_BYTES = 8192; // one block for the whole chunk
constexpr uint32_t LONGEST_SAMPLE = 0x7FFFFFFF;

// Bytes per stored value from the width bits 0-2: exactly 1, 2 or 4; 0 otherwise.
uint32_t storedWidth(uint32_t flags)
{
    switch (flags & 7) {
    case 1: return 1;
    case 2: return 2;
    case 4: return 4;
    default: return 0;
    }
}

// 8-bit values become value x 256, block by block through the scratch.
int32_t read8Bit(int16_t *out, uint32_t frames, void *file, ChunkCursor &cursor, uint8_t *scratch)
{
    while (frames > 0) {
        uint32_t block = frames < SCRATCH_BYTES ? frames : SCRATCH_BYTES;
        if (int32_t error = readChunkBytes(cursor, file, scratch, block))
            return error;
        for (uint32_t j = 0; j < block; ++j)
            out[j] = static_cast<int16_t>(static_cast<uint16_t>(scratch[j] << 8));
        out += block;
        frames -= block;
    }
    return 0;
}

// 16-bit values are read straight into the frames and turned around in place.
int32_t read16Bit(int16_t *out, uint32_t frames, void *file, ChunkCursor &cursor)
{
    auto *bytes = reinterpret_cast<uint8_t *>(out);
    if (int32_t error = readChunkBytes(cursor, file, bytes, 2 * frames))
        return error;
    for (uint32_t j = 0; j < frames; ++j)
        out[j] = static_cast<int16_t>(bigEndian16(bytes + 2 * j));
    return 0;
}

// 32-bit values keep their upper 16 bits, block by block through the scratch.
int32_t read32Bit(int16_t *out, uint32_t frames, void *file, ChunkCursor &cursor, uint8_t *scratch)
{
    constexpr uint32_t FRAMES_PER_BLOCK = SCRATCH_BYTES / 4;
    while (frames > 0) {
        uint32_t block = frames < FRAMES_PER_BLOCK ? frames : FRAMES_PER_BLOCK;
        if (int32_t error = readChunkBytes(cursor, file, scratch, 4 * block))
            return error;
        for (uint32_t j = 0; j < block; ++j)
            out[j] = static_cast<int16_t>(bigEndian16(scratch + 4 * j));
        out += block;
        frames -= block;
    }
    return 0;
}

// Reads one sample block into `sample`, which the caller owns.
int32_t readSample(Sample &sample, void *file, ChunkCursor &cursor, uint8_t *scratch)
{
    uint8_t head[SAMPLE_HEAD];
    if (int32_t error = readChunkBytes(cursor, file, head, SAMPLE_HEAD))
        return error;
    const uint32_t width = storedWidth(bigEndian32(head));
    sample.length = bigEndian32(head + 4);
    if (sample.length > LONGEST_SAMPLE)
        return LOAD_ERROR_DATA;
    if (sample.length == 0)
        return 0; // no data, and the width bits do not matter
    // Width and size are refused before the frames are allocated, so a bad
    // head cannot demand memory the chunk does not back.
    if (width == 0 || uint64_t(sample.length) * width > chunkBytesLeft(cursor))
        return LOAD_ERROR_DATA;
    sample.data = hostArray<int16_t>(sample.length);
    if (!sample.data)
        return LOAD_ERROR_MEMORY;
    switch (width) {
    case 1: return read8Bit(sample.data, sample.length, file, cursor, scratch);
    case 2: return read16Bit(sample.data, sample.length, file, cursor);
    default: return read32Bit(sample.data, sample.length, file, cursor, scratch);
    }
}
} // namespace

int32_t readSampleChunk(Module &module, void *file, ChunkCursor &cursor)
{
    auto *scratch = static_cast<uint8_t *>(hostAllocate(1, SCRATCH_BYTES));
    if (!scratch)
        return LOAD_ERROR_MEMORY;
    int32_t error = 0;
    for (unsigned i = 0; i < module.sampleCount && !error; ++i) {
        releaseSample(module.samples[i]);
        module.samples[i] = nullptr;
        Sample *sample = hostNew<Sample>();
        if (!sample) {
            error = LOAD_ERROR_MEMORY;
        } else if ((error = readSample(*sample, file, cursor, scratch)) != 0) {
            releaseSample(sample);
        } else {
            module.samples[i] = sample;
        }
    }
    hostFree(scratch);
    return error;
}

} // namespace dbm
