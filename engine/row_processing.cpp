#include "engine/rows.h"

#include "base/fixed_point.h"
#include "engine/chains.h"
#include "engine/sequencer.h"

namespace dbm {

namespace {

bool underTonePortamento(const PatternEntry &entry)
{
    return entry.effect1 == 3 || entry.effect1 == 5 || entry.effect2 == 3 || entry.effect2 == 5;
}

// Clears the earliest of the three release points; on equal indices the loop
// end goes first, then sustain A, then sustain B.
void releaseFirstPoint(EnvelopeState &state)
{
    uint16_t *first = &state.loopEnd;
    if (state.sustainA < *first)
        first = &state.sustainA;
    if (state.sustainB < *first)
        first = &state.sustainB;
    *first = INDEX_NONE;
}

void restartEnvelope(EnvelopeState &state, const Envelope *envelopes, uint16_t count)
{
    state.ticksLeft = 0;
    state.point = 0;
    if (state.envelope != INDEX_NONE && state.envelope < count) {
        const Envelope &envelope = envelopes[state.envelope];
        state.sustainA = envelope.sustainA;
        state.sustainB = envelope.sustainB;
        state.loopEnd = envelope.loopEnd;
    }
}

void processEntry(Engine *engine, TrackState &track, const PatternEntry &entry)
{
    track.sampleOffset = 0;
    track.triggerCountdown = COUNTDOWN_IDLE;
    track.cutCountdown = COUNTDOWN_IDLE;
    track.retriggerInterval = 0;
    track.playBackwards = 0;

    const bool portamento = underTonePortamento(entry);
    // An instrument without a note only re-applies the defaults.
    const bool defaultsOnly = entry.instrument != 0 && entry.octave == 0;
    if (defaultsOnly) {
        applyInstrumentDefaults(engine, track);
    } else {
        if (entry.instrument != 0 && !portamento)
            buildVoiceChain(engine, track, entry.instrument);
        if (entry.octave != 0) {
            if (entry.note > 11) {
                keyOff(track);
            } else {
                const int16_t value = static_cast<int16_t>((entry.octave * 12 + entry.note) * 8);
                if (portamento) {
                    track.portamentoTarget = value;
                } else {
                    track.pitch = wrapMul(value, engine->speed);
                    track.triggerCountdown = 0;
                }
            }
        }
        if (entry.instrument != 0)
            applyInstrumentDefaults(engine, track);
    }

    if (entry.effect1 != 0 || entry.param1 != 0)
        applyRowEffect(engine, track, entry.effect1, entry.param1);
    if (entry.effect2 != 0 || entry.param2 != 0)
        applyRowEffect(engine, track, entry.effect2, entry.param2);
}

} // namespace

void processRow(Engine *engine)
{
    const Module *module = engine->module;
    engine->playedOrder = engine->orderPosition;
    engine->playedRow = engine->currentRow;
    engine->playedPattern = engine->currentPattern;
    const Pattern *pattern =
        engine->currentPattern < module->patternCount ? module->patterns[engine->currentPattern] : nullptr;
    if (pattern && pattern->entries && engine->currentRow >= 0 && engine->currentRow < pattern->rows) {
        const PatternEntry *row =
            pattern->entries + static_cast<uint32_t>(engine->currentRow) * module->trackCount;
        for (uint32_t t = 0; t < module->trackCount; ++t)
            processEntry(engine, engine->tracks[t], row[t]);
    }
    advanceRow(engine);
}

void keyOff(TrackState &track)
{
    if (track.volumeEnvelopeState.envelope == INDEX_NONE) {
        track.panningEnvelopeState.envelope = INDEX_NONE;
        track.sounding = 0;
        return;
    }
    releaseFirstPoint(track.volumeEnvelopeState);
    if (track.panningEnvelopeState.envelope != INDEX_NONE)
        releaseFirstPoint(track.panningEnvelopeState);
}

void applyInstrumentDefaults(Engine *engine, TrackState &track)
{
    const Module *module = engine->module;
    if (track.currentInstrument <= 0 || track.currentInstrument > module->instrumentCount)
        return;
    const Instrument *instrument = module->instruments[track.currentInstrument - 1];
    if (!instrument)
        return;
    track.volume = wrapMul(instrument->volume, engine->speed);
    track.panning = wrapMul(instrument->panning, engine->speed);
    track.volumeEnvelopeState.ticksLeft = 0;
    track.volumeEnvelopeState.point = 0;
    track.panningEnvelopeState.ticksLeft = 0;
    track.panningEnvelopeState.point = 0;
}

void restartVoice(const Module *module, TrackState &track)
{
    track.volumeEnvelopeValue = 16384;
    track.panningEnvelopeValue = 0;
    restartEnvelope(track.volumeEnvelopeState, module->volumeEnvelopes, module->volumeEnvelopeCount);
    restartEnvelope(track.panningEnvelopeState, module->panningEnvelopes, module->panningEnvelopeCount);
    if (ProcessingNode *last = track.voiceChain.last())
        last->reset();
    // The direction goes first so that a backwards start counts from the end.
    const NodeTag tags[] = {
        {TAG_BACKWARDS, track.playBackwards ? 1u : 0u},
        {TAG_POSITION, track.sampleOffset},
        {TAG_END, 0},
    };
    sendVoiceTags(track, tags);
    track.sounding = 1;
    track.vibratoPhase = 0;
    track.sampleOffset = 0;
}

} // namespace dbm
