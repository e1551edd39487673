#include "module/release.h"

#include "base/host_services.h"

namespace dbm {

void releaseInstrument(Instrument *instrument)
{
    if (!instrument)
        return;
    hostFree(instrument->name);
    hostFree(instrument);
}

void releaseSample(Sample *sample)
{
    if (!sample)
        return;
    hostFree(sample->data);
    hostFree(sample);
}

void releaseSong(Song *song)
{
    if (!song)
        return;
    hostFree(song->name);
    hostFree(song->orders);
    hostFree(song);
}

void releasePattern(Pattern *pattern)
{
    if (!pattern)
        return;
    hostFree(pattern->entries);
    hostFree(pattern);
}

namespace {
template <class T> void releaseSlots(T **&slots, uint16_t count, void (*release)(T *))
{
    if (!slots)
        return;
    for (unsigned i = 0; i < count; ++i)
        release(slots[i]);
    hostFree(slots);
    slots = nullptr;
}
} // namespace

void releaseSlotArrays(Module &module)
{
    releaseSlots(module.patterns, module.patternCount, releasePattern);
    releaseSlots(module.samples, module.sampleCount, releaseSample);
    releaseSlots(module.instruments, module.instrumentCount, releaseInstrument);
    releaseSlots(module.songs, module.songCount, releaseSong);
    hostFree(module.trackFlags);
    module.trackFlags = nullptr;
}

void freeModule(Module *module)
{
    if (!module)
        return;
    hostFree(module->volumeEnvelopes);
    hostFree(module->panningEnvelopes);
    releaseSlotArrays(*module);
    hostFree(module->name);
    hostFree(module);
}

} // namespace dbm
