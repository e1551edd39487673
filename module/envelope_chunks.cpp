// VENV and PENV: a count, then one 136-byte record per envelope.
#include "base/fixed_point.h"
#include "base/host_services.h"
#include "module/big_endian.h"
#include "module/chunk_handlers.h"

namespace dbm {

namespace {
constexpr uint32_t ENVELOPE_RECORD = 136;
constexpr uint16_t MOST_ENVELOPES = 255;
constexpr uint16_t LAST_POSITION = 2048;

enum EnvelopeFlag : uint8_t {
    ENVELOPE_ENABLED = 1,
    ENVELOPE_SUSTAIN_A = 2,
    ENVELOPE_LOOP = 4,
    ENVELOPE_SUSTAIN_B = 8,
};

enum class EnvelopeKind { Volume, Panning };

// Decodes one record; 0, 3, or the failed read's code.
int32_t readEnvelope(ChunkCursor &cursor, void *file, Envelope &envelope, EnvelopeKind kind,
                     uint16_t version)
{
    uint8_t record[ENVELOPE_RECORD];
    if (int32_t error = readChunkBytes(cursor, file, record, ENVELOPE_RECORD))
        return error;
    const uint16_t owner = bigEndian16(record);
    const uint8_t flags = record[2];
    envelope.instrument = owner >= 1 && owner <= 255 ? owner : INDEX_NONE;
    envelope.lastPoint = record[3] > ENVELOPE_POINTS - 1 ? ENVELOPE_POINTS - 1 : record[3];
    envelope.loopStart = envelope.loopEnd = INDEX_NONE;
    envelope.sustainA = envelope.sustainB = INDEX_NONE;

    const bool enabled = flags & ENVELOPE_ENABLED;
    if (enabled) {
        if (flags & ENVELOPE_SUSTAIN_B) {
            if (record[7] > envelope.lastPoint)
                return LOAD_ERROR_DATA;
            envelope.sustainB = record[7];
        }
        if (flags & ENVELOPE_SUSTAIN_A) {
            if (record[4] > envelope.lastPoint)
                return LOAD_ERROR_DATA;
            envelope.sustainA = record[4];
        }
        if (flags & ENVELOPE_LOOP) {
            if (record[6] > envelope.lastPoint || record[6] <= record[5])
                return LOAD_ERROR_DATA;
            envelope.loopStart = record[5];
            envelope.loopEnd = record[6];
        }
        if (envelope.sustainA != INDEX_NONE && envelope.sustainB != INDEX_NONE &&
            envelope.sustainA > envelope.sustainB) {
            uint16_t first = envelope.sustainB;
            envelope.sustainB = envelope.sustainA;
            envelope.sustainA = first;
        }
    }

    // A disabled envelope keeps its owner but no points, whatever the record holds.
    for (unsigned j = 0; enabled && j <= envelope.lastPoint; ++j) {
        const uint8_t *point = record + 8 + 4 * j;
        uint16_t position = bigEndian16(point);
        int16_t value = static_cast<int16_t>(bigEndian16(point + 2));
        if (kind == EnvelopeKind::Volume) {
            if (value < 0 || value > 64)
                return LOAD_ERROR_DATA;
        } else {
            if (version == 2) // version 2 stores panning as 0..64
                value = low16(value * 4 - 128);
            if (value < -128 || value > 128)
                return LOAD_ERROR_DATA;
        }
        if (position > LAST_POSITION)
            return LOAD_ERROR_DATA;
        envelope.points[j].position = position;
        envelope.points[j].value = value;
    }
    return 0;
}

int32_t readEnvelopeChunk(Module &module, void *file, ChunkCursor &cursor, EnvelopeKind kind)
{
    Envelope *&envelopes = kind == EnvelopeKind::Volume ? module.volumeEnvelopes : module.panningEnvelopes;
    uint16_t &count = kind == EnvelopeKind::Volume ? module.volumeEnvelopeCount : module.panningEnvelopeCount;
    hostFree(envelopes);
    envelopes = nullptr;
    count = 0;
    uint8_t countBytes[2];
    if (int32_t error = readChunkBytes(cursor, file, countBytes, 2))
        return error;
    count = bigEndian16(countBytes);
    if (count > MOST_ENVELOPES)
        return LOAD_ERROR_DATA;
    if (count == 0)
        return 0;
    envelopes = hostArray<Envelope>(count);
    if (!envelopes)
        return LOAD_ERROR_MEMORY;
    for (unsigned e = 0; e < count; ++e)
        if (int32_t error = readEnvelope(cursor, file, envelopes[e], kind, module.version))
            return error;
    return 0;
}
} // namespace

int32_t readVolumeEnvelopeChunk(Module &module, void *file, ChunkCursor &cursor)
{
    return readEnvelopeChunk(module, file, cursor, EnvelopeKind::Volume);
}

int32_t readPanningEnvelopeChunk(Module &module, void *file, ChunkCursor &cursor)
{
    return readEnvelopeChunk(module, file, cursor, EnvelopeKind::Panning);
}

} // namespace dbm
