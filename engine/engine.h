// The player of one loaded Module: the engine record with the song position,
// timing and mixing buffers, and one TrackState per module track.
//
// Ownership: the engine owns its tracks, its buffers and every node of every
// chain; it does not own the module, which must outlive it.
#pragma once

#include "graph/envelope_state.h"
#include "graph/node.h"
#include "module/module.h"

#include <cstdint>

namespace dbm {

constexpr int32_t ROW_DELAY_HALT = 0x7FFFFFFF;
constexpr int32_t COUNTDOWN_IDLE = 0x7FFFFFFF;
constexpr unsigned PAN_DELAY_ENTRIES = 128;

struct TrackState {
    int32_t currentInstrument; // 1-based instrument whose voice chain is built; 0 none
    uint32_t sounding;         // non-zero while the output chain produces sound
    NodeList voiceChain;       // source, resampler, pan delay
    NodeList outputChain;      // track output node, then an optional echo
    int16_t leftGain;          // 2.14
    int16_t rightGain;
    int32_t volume;            // 0..64, held x speed
    int32_t panning;           // -128..128, held x speed
    int32_t pitch;             // 1/8 semitones, held x speed
    int16_t volumeSlide;
    int16_t panSlide;
    int16_t pitchSlide;
    int16_t portamentoStep;
    int16_t arpeggioOffsets[3];
    int16_t portamentoTarget;  // not x speed
    uint16_t vibratoSpeed;
    int16_t vibratoDepth;
    uint16_t vibratoPhase;     // 0..63
    EnvelopeState volumeEnvelopeState;
    EnvelopeState panningEnvelopeState;
    int16_t volumeEnvelopeValue;  // 16384 = 1.0
    int16_t panningEnvelopeValue;
    int32_t triggerCountdown;
    int32_t cutCountdown;
    int32_t retriggerInterval;
    uint32_t sampleOffset;
    uint32_t playBackwards;
    uint8_t effectMemory[8];
    uint32_t echoDelay;
    uint32_t echoFeedback;
    uint32_t echoMix;
    uint32_t echoCross;
    uint32_t muted; // non-zero: the track is pulled as usual but left out of the mix
};

struct Engine {
    uint32_t sampleRate;
    const Module *module;
    TrackState *tracks;
    uint32_t currentPattern;
    uint32_t currentSong;
    int32_t currentRow;
    int32_t orderPosition;
    int32_t tick;
    int32_t speed;
    int32_t tempo;
    int32_t tickRemainder;
    uint32_t framesLeftInTick;
    int32_t rowDelay;
    uint32_t songEnded;
    int32_t breakRow;
    int32_t jumpOrder;
    int32_t loopJump;
    int32_t loopCount;
    int32_t loopOrder;
    int32_t loopRow;
    int16_t globalVolume;
    int16_t globalVolumeSlide;
    uint8_t globalSlideMemory;
    int16_t *trackScratch; // 2 x maxFrames
    int32_t *mixBuffer;    // 2 x maxFrames
    int16_t volumeMin;
    int16_t volumeMax;
    int16_t panMin;
    int16_t panMax;
    int16_t pitchMin;
    int16_t pitchMax;
    uint8_t arpeggioPhase;
    int32_t outputGain; // 16.16
    int32_t clipLevel;
    int16_t panDelayTable[PAN_DELAY_ENTRIES];
    uint32_t maxFrames; // the largest render the engine was created for
    // Where the row last processed (or the position last set) lies: the row
    // the song plays now.
    int32_t playedOrder;
    int32_t playedRow;
    uint32_t playedPattern;
};

} // namespace dbm
