// PATT: per pattern a row count, a packed size and the packed rows, unpacked
// into the rows x tracks grid of entries.
#include "base/host_services.h"
#include "module/big_endian.h"
#include "module/chunk_handlers.h"
#include "module/release.h"

namespace dbm {

namespace {
constexpr uint32_t PATTERN_HEAD = 6;
constexpr unsigned MASK_FIELDS = 6; // mask bits 0-5 announce one data byte each

// The lowest set bit of `mask` at or above `bit` among bits 0-5, or
// MASK_FIELDS when there is none.
unsigned nextField(uint8_t mask, unsigned bit)
{
    while (bit < MASK_FIELDS && !(mask & (1u << bit)))
        ++bit;
    return bit;
}

void storeField(PatternEntry &entry, unsigned bit, uint8_t value)
{
    switch (bit) {
    case 0:
        entry.note = value & 0x0F;
        entry.octave = value >> 4;
        break;
    case 1: entry.instrument = value; break;
    case 2: entry.effect1 = value; break;
    case 3: entry.param1 = value; break;
    case 4: entry.effect2 = value; break;
    default: entry.param2 = value; break;
    }
}

// One forward pass over the packed bytes. A byte 0 ends the row; a track
// byte 1..trackCount is followed by a mask and the data bytes it announces.
// Bytes after the last row, or a stream ending inside an entry, are no error.
// Returns 0 or 3 (a track byte above trackCount).
int32_t unpackRows(Pattern &pattern, uint16_t trackCount, const uint8_t *packed, uint32_t size)
{
    enum class Expect { Track, Mask, Field } expect = Expect::Track;
    uint32_t row = 0;
    PatternEntry *entry = nullptr;
    uint8_t mask = 0;
    unsigned field = 0;
    for (uint32_t i = 0; i < size && row < pattern.rows; ++i) {
        const uint8_t byte = packed[i];
        switch (expect) {
        case Expect::Track:
            if (byte == 0) {
                ++row;
            } else if (byte <= trackCount) {
                entry = &pattern.entries[size_t(row) * trackCount + (byte - 1u)];
                expect = Expect::Mask;
            } else {
                return LOAD_ERROR_DATA;
            }
            break;
        case Expect::Mask:
            mask = byte;
            field = nextField(mask, 0);
            expect = field < MASK_FIELDS ? Expect::Field : Expect::Track;
            break;
        case Expect::Field:
            storeField(*entry, field, byte);
            field = nextField(mask, field + 1);
            expect = field < MASK_FIELDS ? Expect::Field : Expect::Track;
            break;
        }
    }
    return 0;
}

// Reads and unpacks one pattern block into `pattern`, which the caller owns.
int32_t readPattern(Pattern &pattern, uint16_t trackCount, void *file, ChunkCursor &cursor)
{
    uint8_t head[PATTERN_HEAD];
    if (int32_t error = readChunkBytes(cursor, file, head, PATTERN_HEAD))
        return error;
    const uint16_t rows = bigEndian16(head);
    const uint32_t packedSize = bigEndian32(head + 2);
    if (rows == 0 || packedSize == 0)
        return LOAD_ERROR_DATA;
    pattern.rows = rows;
    pattern.entries = hostArray<PatternEntry>(uint32_t(rows) * trackCount); // below 2^24 entries
    if (!pattern.entries)
        return LOAD_ERROR_MEMORY;
    // Refused before asking for the block, so a bad size cannot demand memory.
    if (packedSize > chunkBytesLeft(cursor))
        return LOAD_ERROR_DATA;
    auto *packed = static_cast<uint8_t *>(hostAllocate(1, packedSize));
    if (!packed)
        return LOAD_ERROR_MEMORY;
    int32_t error = readChunkBytes(cursor, file, packed, packedSize);
    if (!error)
        error = unpackRows(pattern, trackCount, packed, packedSize);
    hostFree(packed);
    return error;
}
} // namespace

int32_t readPatternChunk(Module &module, void *file, ChunkCursor &cursor)
{
    for (unsigned p = 0; p < module.patternCount; ++p) {
        releasePattern(module.patterns[p]);
        module.patterns[p] = nullptr;
        Pattern *pattern = hostNew<Pattern>();
        if (!pattern)
            return LOAD_ERROR_MEMORY;
        if (int32_t error = readPattern(*pattern, module.trackCount, file, cursor)) {
            releasePattern(pattern);
            return error;
        }
        module.patterns[p] = pattern;
    }
    return 0;
}

} // namespace dbm
