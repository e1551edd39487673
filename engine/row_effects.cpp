#include "engine/rows.h"

#include "base/fixed_point.h"

namespace dbm {

namespace {

// Effect memory slots, in the order the track record holds them.
enum MemorySlot : unsigned {
    MEMORY_VOLUME_SLIDE = 0,   // effect 10
    MEMORY_PANNING_SLIDE = 1,  // effect 25
    MEMORY_PITCH_UP = 2,       // effect 1
    MEMORY_PITCH_DOWN = 3,     // effect 2
    MEMORY_PORTAMENTO = 4,     // effect 3, and the step of effect 5
    MEMORY_PORTAMENTO_VOLUME = 5, // effect 5
    MEMORY_VIBRATO = 6,        // effect 4, and the vibrato of effect 6
    MEMORY_VIBRATO_VOLUME = 7, // effect 6
};

// A non-zero parameter is remembered; zero recalls the last one.
uint8_t remembered(TrackState &track, unsigned slot, uint8_t parameter)
{
    if (parameter != 0)
        track.effectMemory[slot] = parameter;
    return track.effectMemory[slot];
}

int16_t add16(int16_t field, int32_t amount)
{
    return low16(wrapAdd(field, amount));
}

// n units per tick, as held during a row of `speed` ticks.
int32_t scaled(int32_t n, const Engine *engine)
{
    return wrapMul(n, engine->speed);
}

void tonePortamento(const Engine *engine, TrackState &track, uint8_t step)
{
    const int32_t amount = scaled(step, engine);
    if (wrapMul(track.portamentoTarget, engine->speed) < track.pitch)
        track.portamentoStep = add16(track.portamentoStep, -amount);
    else
        track.portamentoStep = add16(track.portamentoStep, amount);
}

void vibrato(const Engine *engine, TrackState &track, uint8_t parameter)
{
    track.vibratoSpeed = parameter >> 4;
    track.vibratoDepth = low16(scaled(parameter & 15, engine));
}

void pitchSlide(const Engine *engine, TrackState &track, uint8_t parameter, int32_t sign)
{
    const int32_t amount = parameter >= 0xF0 ? (parameter & 15) : scaled(parameter, engine);
    track.pitchSlide = add16(track.pitchSlide, wrapMul(sign, amount));
}

// x up when y is 0, y down when x is 0; nothing when both or neither are set.
int32_t oneSidedSlide(uint8_t parameter)
{
    const int32_t x = parameter >> 4;
    const int32_t y = parameter & 15;
    if (x != 0 && y == 0)
        return x;
    if (x == 0 && y != 0)
        return -y;
    return 0;
}

// The echo setting effects 32..35 set: delay, feedback, mix, cross-feed.
uint32_t &echoSetting(TrackState &track, uint8_t effect)
{
    switch (effect) {
    case 32: return track.echoDelay;
    case 33: return track.echoFeedback;
    case 34: return track.echoMix;
    default: return track.echoCross;
    }
}

} // namespace

int32_t volumeSlideChange(uint8_t parameter, int32_t speed)
{
    const int32_t x = parameter >> 4;
    const int32_t y = parameter & 15;
    if (x == 0)
        return wrapMul(-y, speed);
    if (y == 0)
        return wrapMul(x, speed);
    if (y == 15)
        return x;
    if (x == 15)
        return -y;
    return 0;
}

uint8_t decodeBcd(uint8_t value)
{
    const uint8_t tens = value >> 4;
    const uint8_t units = value & 15;
    return tens <= 9 && units <= 9 ? static_cast<uint8_t>(tens * 10 + units) : 0;
}

void applyRowEffect(Engine *engine, TrackState &track, uint8_t effect, uint8_t parameter)
{
    const int32_t speed = engine->speed;
    switch (effect) {
    case 0: // arpeggio
        track.arpeggioOffsets[1] = low16(scaled((parameter >> 4) * 8, engine));
        track.arpeggioOffsets[2] = low16(scaled((parameter & 15) * 8, engine));
        break;
    case 1:
        pitchSlide(engine, track, remembered(track, MEMORY_PITCH_UP, parameter), 1);
        break;
    case 2:
        pitchSlide(engine, track, remembered(track, MEMORY_PITCH_DOWN, parameter), -1);
        break;
    case 3:
        tonePortamento(engine, track, remembered(track, MEMORY_PORTAMENTO, parameter));
        break;
    case 4:
        vibrato(engine, track, remembered(track, MEMORY_VIBRATO, parameter));
        break;
    case 5: {
        const uint8_t slide = remembered(track, MEMORY_PORTAMENTO_VOLUME, parameter);
        tonePortamento(engine, track, track.effectMemory[MEMORY_PORTAMENTO]);
        track.volumeSlide = add16(track.volumeSlide, volumeSlideChange(slide, speed));
        break;
    }
    case 6: {
        const uint8_t slide = remembered(track, MEMORY_VIBRATO_VOLUME, parameter);
        vibrato(engine, track, track.effectMemory[MEMORY_VIBRATO]);
        track.volumeSlide = add16(track.volumeSlide, volumeSlideChange(slide, speed));
        break;
    }
    case 8:
        track.panning = scaled(parameter - 128, engine);
        break;
    case 9:
        track.sampleOffset += static_cast<uint32_t>(parameter) * 256u;
        break;
    case 10:
        track.volumeSlide = add16(track.volumeSlide,
                                  volumeSlideChange(remembered(track, MEMORY_VOLUME_SLIDE, parameter), speed));
        break;
    case 11:
        engine->jumpOrder = parameter;
        break;
    case 12:
        if (parameter <= 64)
            track.volume = scaled(parameter, engine);
        break;
    case 13:
        engine->breakRow = decodeBcd(parameter);
        break;
    case 14:
        applyExtendedEffect(engine, track, parameter);
        break;
    case 16:
        if (parameter <= 64)
            engine->globalVolume = parameter;
        break;
    case 17:
        if (parameter != 0)
            engine->globalSlideMemory = parameter;
        engine->globalVolumeSlide =
            low16(engine->globalVolumeSlide + oneSidedSlide(engine->globalSlideMemory));
        break;
    case 25:
        track.panSlide = add16(track.panSlide,
                               scaled(oneSidedSlide(remembered(track, MEMORY_PANNING_SLIDE, parameter)), engine));
        break;
    case 31:
        applyEchoSwitch(engine, track, parameter);
        break;
    case 32:
    case 33:
    case 34:
    case 35:
        echoSetting(track, effect) = parameter;
        setEchoParameters(engine, track);
        break;
    default: // 7, 15 (taken by the row-start scan), 18..24, 26..30, above 35
        break;
    }
}

} // namespace dbm
