#include "engine/parameters.h"

#include "base/fixed_point.h"
#include "engine/chains.h"
#include "graph/envelopes.h"
#include "graph/pitch_tables.h"

namespace dbm {

namespace {

constexpr int32_t UNITY = 16384;

// The engine keeps speed within 1..31; anything else is read as the nearest
// of those, so no table is indexed out of range and nothing divides by 0.
int32_t tableSpeed(const Engine *engine)
{
    if (engine->speed < 1)
        return 1;
    return engine->speed > 31 ? 31 : engine->speed;
}

int64_t clamp64(int64_t value, int64_t low, int64_t high)
{
    return value < low ? low : (value > high ? high : value);
}

const Instrument *playedInstrument(const Engine *engine, const TrackState &track)
{
    const Module *module = engine->module;
    if (track.currentInstrument <= 0 || track.currentInstrument > module->instrumentCount)
        return nullptr;
    const Instrument *instrument = module->instruments[track.currentInstrument - 1];
    return instrument && instrument->type == INSTRUMENT_TYPE_SAMPLE ? instrument : nullptr;
}

void pushTrack(Engine *engine, TrackState &track)
{
    const int32_t speed = tableSpeed(engine);
    const uint8_t phase = engine->arpeggioPhase <= 2 ? engine->arpeggioPhase : 0;
    const int32_t vibrato = (VIBRATO_SINE[track.vibratoPhase & 63] * track.vibratoDepth) >> 8;
    const int32_t pitch = wrapAdd(wrapAdd(track.pitch, track.arpeggioOffsets[phase]), vibrato);
    track.vibratoPhase = static_cast<uint16_t>((track.vibratoPhase + track.vibratoSpeed) & 63);
    pushPitch(engine, track, static_cast<uint16_t>(static_cast<uint32_t>(pitch) & 0xFFFFu));

    // Brought into range first: an instrument's unchecked default volume or
    // panning reaches this pass for one tick before the slides limit it.
    const int64_t p = clamp64(int64_t{track.panning} * 128 / speed, -UNITY, UNITY);
    const int64_t v = clamp64(int64_t{track.volume} * 256 / speed, 0, UNITY);
    const int64_t room = UNITY - (p < 0 ? -p : p);
    // With envelope values outside their scale (damaged points) the law would
    // invert or overdrive a side; the clamps are no-ops for proper values.
    const int64_t pan = clamp64(p + ((room * track.panningEnvelopeValue) >> 14), -UNITY, UNITY);
    const int64_t volume = clamp64((((v * track.volumeEnvelopeValue) >> 14) * engine->globalVolume) >> 6, 0, UNITY);
    if (pan > 0) {
        track.leftGain = static_cast<int16_t>(((UNITY - pan) * volume) >> 14);
        track.rightGain = static_cast<int16_t>(volume);
    } else if (pan < 0) {
        track.leftGain = static_cast<int16_t>(volume);
        track.rightGain = static_cast<int16_t>(((UNITY + pan) * volume) >> 14);
    } else {
        track.leftGain = static_cast<int16_t>(volume);
        track.rightGain = static_cast<int16_t>(volume);
    }

    // The pan delay follows the track's own panning, not the envelope.
    const NodeTag tags[] = {
        {TAG_PANNING, static_cast<uint32_t>(track.panning / speed)},
        {TAG_END, 0},
    };
    sendVoiceTags(track, tags);
}

} // namespace

void pushTrackParameters(Engine *engine)
{
    for (uint32_t t = 0; t < engine->module->trackCount; ++t)
        pushTrack(engine, engine->tracks[t]);
}

void pushPitch(Engine *engine, TrackState &track, uint16_t pitch)
{
    const Instrument *instrument = playedInstrument(engine, track);
    if (!instrument)
        return;
    const uint32_t k = static_cast<uint32_t>(tableSpeed(engine));
    const uint32_t q = pitch / k;
    const uint32_t r = pitch - q * k;
    uint32_t step = 0;
    if (q >= 96 && engine->sampleRate != 0) {
        const uint32_t octaves = (q - 96) / 96;
        const uint32_t fine = (q - 96) % 96;
        const uint64_t product =
            uint64_t{FINE_PITCH_TABLES[k][r]} * instrument->baseRate * OCTAVE_PITCH_TABLE[fine];
        if (octaves > 19) {
            // 20 or more octaves up: far beyond any step the resampler takes.
            step = UINT32_MAX;
        } else {
            step = static_cast<uint32_t>((product >> (19 - octaves)) / engine->sampleRate);
        }
    }
    const NodeTag tags[] = {{TAG_RESAMPLE_STEP, step}, {TAG_END, 0}};
    sendVoiceTags(track, tags);
}

void stepEnvelopes(Engine *engine)
{
    const Module *module = engine->module;
    for (uint32_t t = 0; t < module->trackCount; ++t) {
        TrackState &track = engine->tracks[t];
        if (!track.sounding)
            continue;
        // INDEX_NONE is never below a count, so one test covers both cases.
        EnvelopeState &volume = track.volumeEnvelopeState;
        if (volume.envelope < module->volumeEnvelopeCount)
            track.volumeEnvelopeValue = stepEnvelope(volume, module->volumeEnvelopes[volume.envelope], 8);
        EnvelopeState &panning = track.panningEnvelopeState;
        if (panning.envelope < module->panningEnvelopeCount)
            track.panningEnvelopeValue = stepEnvelope(panning, module->panningEnvelopes[panning.envelope], 7);
    }
}

} // namespace dbm
