#include "engine/render.h"

#include "engine/sequencer.h"
#include "graph/fixed_point.h"

namespace dbm {

void clearMix(Engine *engine, uint32_t frames)
{
    int32_t *mix = engine->mixBuffer;
    for (uint32_t i = 0; i < 2 * frames; ++i)
        mix[i] = 0;
}

void mixTrack(Engine *engine, TrackState &track, int32_t *mix, uint32_t frames)
{
    ProcessingNode *last = track.outputChain.last();
    if (!track.sounding || !last)
        return;
    int16_t *scratch = engine->trackScratch;
    track.sounding = last->pull(scratch, frames);
    const int32_t left = track.leftGain;
    const int32_t right = track.rightGain;
    for (uint32_t i = 0; i < frames; ++i) {
        mix[2 * i] = wrapAdd(mix[2 * i], (left * scratch[2 * i]) >> 14);
        mix[2 * i + 1] = wrapAdd(mix[2 * i + 1], (right * scratch[2 * i + 1]) >> 14);
    }
}

void convertOutput(const Engine *engine, uint32_t frames, int16_t *out)
{
    const int32_t *mix = engine->mixBuffer;
    const int32_t clip = engine->clipLevel;
    for (uint32_t i = 0; i < 2 * frames; ++i) {
        const int32_t v = mix[i];
        if (v > clip)
            out[i] = 32767;
        else if (v < -clip)
            out[i] = -32767;
        else
            out[i] = low16(wrapMul(v, engine->outputGain) >> 16);
    }
}

uint32_t renderFrames(Engine *engine, uint32_t wanted, int16_t *out)
{
    if (wanted > engine->maxFrames) {
        // More than the buffers hold: silence, nothing rendered.
        for (uint32_t i = 0; i < 2 * wanted; ++i)
            out[i] = 0;
        return 0;
    }
    clearMix(engine, wanted);
    if (wanted == 0)
        return 0;

    const uint32_t trackCount = engine->module->trackCount;
    uint32_t rendered = 0;
    uint32_t left = wanted;
    int32_t *position = engine->mixBuffer;
    uint32_t stopped = 0;
    if (engine->framesLeftInTick == 0)
        stopped = runTick(engine);
    for (;;) {
        const uint32_t piece = engine->framesLeftInTick < left ? engine->framesLeftInTick : left;
        for (uint32_t t = 0; t < trackCount; ++t)
            mixTrack(engine, engine->tracks[t], position, piece);
        engine->framesLeftInTick -= piece;
        rendered += piece;
        if (stopped)
            break;
        left -= piece;
        if (left == 0)
            break;
        position += 2 * piece;
        stopped = engine->framesLeftInTick == 0 ? runTick(engine) : 0;
    }
    convertOutput(engine, wanted, out);
    return rendered;
}

void computeTickLength(Engine *engine)
{
    const int32_t m = static_cast<int32_t>(engine->sampleRate) * 5;
    const int32_t d = engine->tempo * 2;
    const int32_t f = m / d;
    engine->framesLeftInTick = static_cast<uint32_t>(f);
    const int32_t r = (m - f * d) + engine->tickRemainder;
    engine->tickRemainder = r;
    if (r > d) {
        engine->tickRemainder = r - d;
        engine->framesLeftInTick = static_cast<uint32_t>(f + 1);
    }
}

} // namespace dbm
