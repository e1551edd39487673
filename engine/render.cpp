#include "engine/render.h"

#include "base/fixed_point.h"
#include "engine/sequencer.h"

#include <cstddef>

namespace dbm {

void clearMix(Engine *engine, uint32_t frames)
{
    int32_t *mix = engine->mixBuffer;
    for (uint32_t i = 0; i < 2 * frames; ++i)
        mix[i] = 0;
}

namespace {

// Accumulator values to 16-bit samples: beyond +-clip saturated to +-32767,
// otherwise (v x gain) >> 16.
void convertValues(int16_t *__restrict out, const int32_t *__restrict mix, int32_t clip,
                   int32_t gain, uint32_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const int32_t v = mix[i];
        const int32_t scaled = wrapMul(v, gain) >> 16;
        out[i] = v > clip ? int16_t(32767) : v < -clip ? int16_t(-32767) : low16(scaled);
    }
}

} // namespace

void mixTrack(Engine *engine, TrackState &track, int32_t *mix, uint32_t frames)
{
    ProcessingNode *last = track.outputChain.last();
    if (!track.sounding || !last)
        return;
    int16_t *scratch = engine->trackScratch;
    track.sounding = track.muted ? last->pull(scratch, frames)
                                 : last->mixInto(mix, scratch, track.leftGain, track.rightGain,
                                                 frames);
}

void convertOutput(const Engine *engine, uint32_t frames, int16_t *out)
{
    convertValues(out, engine->mixBuffer, engine->clipLevel, engine->outputGain, 2 * frames);
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
