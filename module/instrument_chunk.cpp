// INST: one 50-byte record per instrument.
#include "base/host_services.h"
#include "module/big_endian.h"
#include "module/chunk_handlers.h"
#include "module/release.h"
#include "module/text_field.h"

namespace dbm {

namespace {
constexpr uint32_t INSTRUMENT_NAME_FIELD = 30;
constexpr uint32_t INSTRUMENT_RECORD = 50;

void decodeInstrument(Instrument &instrument, const uint8_t *record)
{
    instrument.sample = static_cast<uint16_t>(bigEndian16(record + 30) - 1u);
    instrument.volume = bigEndian16(record + 32);
    instrument.baseRate = bigEndian32(record + 34);
    instrument.loopStart = bigEndian32(record + 38);
    instrument.loopLength = bigEndian32(record + 42);
    instrument.panning = static_cast<int16_t>(bigEndian16(record + 46));
    instrument.flags = bigEndian16(record + 48);
    instrument.type = INSTRUMENT_TYPE_SAMPLE;
    instrument.volumeEnvelope = INDEX_NONE;
    instrument.panningEnvelope = INDEX_NONE;
    // A loop of no length is no loop, and no loop has no loop fields.
    if (instrument.loopLength == 0)
        instrument.flags &= static_cast<uint16_t>(~INSTRUMENT_LOOP_MASK);
    if ((instrument.flags & INSTRUMENT_LOOP_MASK) == LOOP_NONE) {
        instrument.loopStart = 0;
        instrument.loopLength = 0;
    }
}
} // namespace

int32_t readInstrumentChunk(Module &module, void *file, ChunkCursor &cursor)
{
    for (unsigned i = 0; i < module.instrumentCount; ++i) {
        releaseInstrument(module.instruments[i]);
        module.instruments[i] = nullptr;
        Instrument *instrument = hostNew<Instrument>();
        if (!instrument)
            return LOAD_ERROR_MEMORY;
        uint8_t record[INSTRUMENT_RECORD];
        if (int32_t error = readChunkBytes(cursor, file, record, INSTRUMENT_RECORD)) {
            releaseInstrument(instrument);
            return error;
        }
        instrument->name = copyTextField(record, INSTRUMENT_NAME_FIELD);
        if (!instrument->name) {
            releaseInstrument(instrument);
            return LOAD_ERROR_MEMORY;
        }
        decodeInstrument(*instrument, record);
        module.instruments[i] = instrument;
    }
    return 0;
}

} // namespace dbm
