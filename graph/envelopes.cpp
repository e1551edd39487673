#include "graph/envelopes.h"

#include "base/fixed_point.h"

namespace dbm {

namespace {

int16_t scaledValue(const EnvelopePoint &point, unsigned shift)
{
    return low16(shiftLeft(point.value, shift));
}

} // namespace

int16_t stepEnvelope(EnvelopeState &state, const Envelope &envelope, unsigned shift)
{
    if (state.ticksLeft == 0) {
        // A point has been reached: hold there, or start the segment to the next.
        const uint16_t lastPoint = envelope.lastPoint < ENVELOPE_POINTS ? envelope.lastPoint : ENVELOPE_POINTS - 1;
        uint16_t i = state.point;
        if (i == state.loopEnd) {
            i = envelope.loopStart;
            state.point = i;
        }
        if (i > lastPoint) // only an inconsistent loop start gets here
            i = lastPoint;
        const int16_t value = scaledValue(envelope.points[i], shift);
        state.segmentStart = value;
        if (i == state.sustainA || i == state.sustainB || i >= lastPoint)
            return value;
        // Repeated positions give a segment of one tick; falling ones the
        // long length the 16-bit difference gives.
        const uint16_t length =
            static_cast<uint16_t>(envelope.points[i + 1].position - envelope.points[i].position);
        state.segmentTicks = length != 0 ? length : 1;
        state.ticksLeft = state.segmentTicks;
        state.point = static_cast<uint16_t>(i + 1);
        state.segmentDelta = scaledValue(envelope.points[i + 1], shift) - value;
    }
    if (state.segmentTicks == 0) // a state no segment start has set up
        return state.segmentStart;
    const int64_t elapsed = state.segmentTicks - state.ticksLeft;
    state.ticksLeft -= 1;
    return low16(static_cast<int32_t>(state.segmentStart + elapsed * state.segmentDelta / state.segmentTicks));
}

} // namespace dbm
