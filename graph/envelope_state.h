// The running state of one volume or panning envelope of one track.
#pragma once

#include <cstdint>

namespace dbm {

struct EnvelopeState {
    uint16_t envelope;     // index into the module's envelopes, or INDEX_NONE
    uint16_t ticksLeft;    // 0: a point has been reached and must be looked at
    uint16_t point;        // point at which the running segment ends
    uint16_t segmentTicks; // length of the running segment; unsigned so that a
                           // falling pair of positions (length above 63488) fits
    int32_t segmentDelta;  // 32 bits: a full panning swing is 32768
    int16_t segmentStart;  // scaled value at the segment's start
    uint16_t sustainA;     // the track's copies; a key-off clears one
    uint16_t sustainB;
    uint16_t loopEnd;
};

} // namespace dbm
