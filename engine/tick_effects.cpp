#include "engine/rows.h"

#include "base/fixed_point.h"

namespace dbm {

namespace {

// The upper limit is applied first, then the lower one.
int32_t clamp(int32_t value, int32_t low, int32_t high)
{
    if (value > high)
        value = high;
    if (value < low)
        value = low;
    return value;
}

void slideTrack(const Engine *engine, TrackState &track)
{
    track.volume = clamp(wrapAdd(track.volume, track.volumeSlide), engine->volumeMin, engine->volumeMax);
    track.panning = clamp(wrapAdd(track.panning, track.panSlide), engine->panMin, engine->panMax);
    if (track.portamentoStep != 0) {
        track.pitch = wrapAdd(track.pitch, track.portamentoStep);
        const int32_t target = wrapMul(track.portamentoTarget, engine->speed);
        if ((track.portamentoStep > 0 && track.pitch > target) ||
            (track.portamentoStep < 0 && track.pitch < target))
            track.pitch = target;
    }
    track.pitch = clamp(wrapAdd(track.pitch, track.pitchSlide), engine->pitchMin, engine->pitchMax);
}

} // namespace

void applySlides(Engine *engine)
{
    const uint32_t trackCount = engine->module->trackCount;
    for (uint32_t t = 0; t < trackCount; ++t)
        slideTrack(engine, engine->tracks[t]);
    const int16_t global = low16(engine->globalVolume + engine->globalVolumeSlide);
    engine->globalVolume = static_cast<int16_t>(clamp(global, 0, 64));
}

void runCountdowns(Engine *engine)
{
    const Module *module = engine->module;
    for (uint32_t t = 0; t < module->trackCount; ++t) {
        TrackState &track = engine->tracks[t];
        if (track.currentInstrument == 0)
            continue;
        if (track.triggerCountdown != 0) {
            track.triggerCountdown = wrapSub(track.triggerCountdown, 1);
        } else {
            restartVoice(module, track);
            track.triggerCountdown = wrapSub(track.retriggerInterval, 1);
        }
        const int32_t cut = track.cutCountdown;
        track.cutCountdown = wrapSub(cut, 1);
        if (cut <= 0)
            track.volume = 0;
    }
}

} // namespace dbm
