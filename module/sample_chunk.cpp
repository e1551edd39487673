// SMPL: per sample a flags word, a length in frames and the big-endian data
// in 8, 16 or 32 bits, converted to 16-bit frames in host order.
#include "base/host_services.h"
#include "module/big_endian.h"
#include "module/chunk_handlers.h"
#include "module/release.h"

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

// Converts `frames` stored values of `width` bytes to 16-bit frames: 8-bit
// values are scaled by 256, 16-bit ones taken as they are, 32-bit ones keep
// their upper 16 bits. Kept to plain loops the compiler can vectorize.
void convertFrames(int16_t *out, const uint8_t *in, uint32_t frames, uint32_t width)
{
    switch (width) {
    case 1:
        for (uint32_t j = 0; j < frames; ++j)
            out[j] = static_cast<int16_t>(static_cast<uint16_t>(in[j] << 8));
        break;
    case 2:
        for (uint32_t j = 0; j < frames; ++j)
            out[j] = static_cast<int16_t>(bigEndian16(in + 2 * j));
        break;
    default:
        for (uint32_t j = 0; j < frames; ++j)
            out[j] = static_cast<int16_t>(bigEndian16(in + 4 * j));
        break;
    }
}

// Reads the data block by block through the scratch block.
int32_t readFrames(int16_t *out, uint32_t frames, uint32_t width, void *file, ChunkCursor &cursor,
                   uint8_t *scratch)
{
    const uint32_t framesPerBlock = SCRATCH_BYTES / width;
    while (frames > 0) {
        uint32_t block = frames < framesPerBlock ? frames : framesPerBlock;
        if (int32_t error = readChunkBytes(cursor, file, scratch, block * width))
            return error;
        convertFrames(out, scratch, block, width);
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
    if (width == 2) {
        // One read straight into the frames, converted in place: a file that
        // ends inside the data loads with the missing frames silent, as it
        // does when the end falls inside one block of the other widths.
        if (int32_t error = readChunkBytes(cursor, file, sample.data, sample.length * 2))
            return error;
        convertFrames(sample.data, reinterpret_cast<const uint8_t *>(sample.data), sample.length, 2);
        return 0;
    }
    return readFrames(sample.data, sample.length, width, file, cursor, scratch);
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
