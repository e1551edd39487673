// The checks made on the whole module once the file is read, and the linking
// of envelopes to the instruments that name them.
#include "module/chunk_handlers.h"

namespace dbm {

namespace {
constexpr uint32_t LOWEST_BASE_RATE = 2000;
constexpr uint32_t HIGHEST_BASE_RATE = 192000;

template <class T> bool allSlotsFilled(T *const *slots, uint16_t count)
{
    if (!slots)
        return false;
    for (unsigned i = 0; i < count; ++i)
        if (!slots[i])
            return false;
    return true;
}

// Sample number and loop against the sample it plays, and the base rate.
bool checkInstrument(Instrument &instrument, const Module &module)
{
    if (instrument.sample >= module.sampleCount)
        instrument.sample = 0;
    const uint32_t length = module.samples[instrument.sample]->length;
    if (length > 0) {
        // Wide sum: a loop length near 2^32 must not wrap around into range.
        if (instrument.loopStart >= length ||
            uint64_t(instrument.loopStart) + instrument.loopLength > length)
            return false;
    } else {
        instrument.loopStart = 0;
        instrument.loopLength = 0;
        instrument.flags &= static_cast<uint16_t>(~INSTRUMENT_LOOP_MASK);
    }
    return instrument.baseRate >= LOWEST_BASE_RATE && instrument.baseRate <= HIGHEST_BASE_RATE;
}

bool checkSongs(const Module &module)
{
    if (!allSlotsFilled(module.songs, module.songCount))
        return false;
    // The engine starts playing at song 0's first order.
    if (module.songs[0]->orderCount == 0)
        return false;
    for (unsigned s = 0; s < module.songCount; ++s) {
        const Song &song = *module.songs[s];
        for (unsigned i = 0; i < song.orderCount; ++i)
            if (song.orders[i] >= module.patternCount)
                return false;
    }
    return true;
}

// Links each envelope to its instrument; with several envelopes of one kind
// naming the same instrument the highest index wins.
bool linkEnvelopes(Module &module, const Envelope *envelopes, uint16_t count,
                   uint16_t Instrument::*link)
{
    for (unsigned e = 0; envelopes && e < count; ++e) {
        const uint16_t owner = envelopes[e].instrument;
        if (owner == INDEX_NONE)
            continue;
        if (owner < 1 || owner > module.instrumentCount)
            return false;
        module.instruments[owner - 1]->*link = static_cast<uint16_t>(e);
    }
    return true;
}
} // namespace

int32_t checkModule(Module &module, bool infoRead)
{
    // Without INFO there are no tracks or songs to play; an empty sample
    // slot (no SMPL chunk) has nothing to play either.
    if (!infoRead || !allSlotsFilled(module.instruments, module.instrumentCount) ||
        !allSlotsFilled(module.samples, module.sampleCount))
        return LOAD_ERROR_DATA;
    for (unsigned i = 0; i < module.instrumentCount; ++i) {
        Instrument &instrument = *module.instruments[i];
        if (instrument.type == INSTRUMENT_TYPE_SAMPLE && !checkInstrument(instrument, module))
            return LOAD_ERROR_DATA;
    }
    if (!allSlotsFilled(module.patterns, module.patternCount) || !checkSongs(module))
        return LOAD_ERROR_DATA;
    if (!linkEnvelopes(module, module.volumeEnvelopes, module.volumeEnvelopeCount,
                       &Instrument::volumeEnvelope) ||
        !linkEnvelopes(module, module.panningEnvelopes, module.panningEnvelopeCount,
                       &Instrument::panningEnvelope))
        return LOAD_ERROR_DATA;
    return 0;
}

} // namespace dbm
