#include "graph/resampler.h"

#include "base/fixed_point.h"
#include "base/host_services.h"
#include "graph/gain_stage.h"
#include "graph/nodes.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dbm {

namespace {

constexpr uint32_t SLIDE_POSITION = RESAMPLER_SLIDE_FRAMES << 16;

} // namespace

ProcessingNode *createResampler()
{
    ResamplerNode *node = hostNew<ResamplerNode>();
    if (!node)
        return nullptr;
    node->buffer = hostArray<int16_t>(RESAMPLER_BUFFER_FRAMES);
    if (!node->buffer) {
        hostDelete(node);
        return nullptr;
    }
    return node;
}

namespace {

// One output frame at 16.16 `position`: s0 + (((s1 - s0) x fraction) >> 16),
// the product wrapping in 32 bits, stored as its low 16 bits.
inline int16_t interpolated(const int16_t *source, uint32_t position)
{
    const size_t index = position >> 16;
    const int32_t fraction = static_cast<int32_t>(position & 0xFFFF);
    const int32_t s0 = source[index];
    const int32_t s1 = source[index + 1];
    return low16(wrapAdd(s0, wrapMul(s1 - s0, fraction) >> 16));
}

#if defined(__SSE2__)
// Eight frames at a time in 16-bit lanes. Only the low 16 bits of the result
// are kept, and those are s0 + bits 16..31 of d x f (d = s1 - s0, f the
// fraction). With d = dl + 65536 dh (dl = d mod 65536, dh = -1 when s1 < s0,
// else 0) that is s0 + high16(dl x f) - (s1 < s0 ? f : 0), modulo 65536: an
// unsigned 16 x 16-bit high multiply, a compare and three adds. The pairs are
// gathered lane by lane; the fractions advance as 16-bit lanes.
#define DBM_GATHER_LANE(lane)                                                                  \
    do {                                                                                       \
        const int16_t *pair = source + (position >> 16);                                       \
        s0 = _mm_insert_epi16(s0, pair[0], lane);                                              \
        s1 = _mm_insert_epi16(s1, pair[1], lane);                                              \
        position += step;                                                                      \
    } while (0)

uint32_t interpolateWide(int16_t *out, const int16_t *source, uint32_t &position, uint32_t step,
                         uint32_t count)
{
    const uint16_t stepLow = static_cast<uint16_t>(step);
    uint16_t first[8];
    for (unsigned lane = 0; lane < 8; ++lane)
        first[lane] = static_cast<uint16_t>(position + lane * stepLow);
    __m128i fraction = _mm_loadu_si128(reinterpret_cast<const __m128i *>(first));
    const __m128i advance = _mm_set1_epi16(static_cast<int16_t>(static_cast<uint16_t>(8 * stepLow)));
    uint32_t k = 0;
    for (; k + 8 <= count; k += 8) {
        __m128i s0 = _mm_setzero_si128();
        __m128i s1 = _mm_setzero_si128();
        DBM_GATHER_LANE(0);
        DBM_GATHER_LANE(1);
        DBM_GATHER_LANE(2);
        DBM_GATHER_LANE(3);
        DBM_GATHER_LANE(4);
        DBM_GATHER_LANE(5);
        DBM_GATHER_LANE(6);
        DBM_GATHER_LANE(7);
        const __m128i high = _mm_mulhi_epu16(_mm_sub_epi16(s1, s0), fraction);
        const __m128i below = _mm_and_si128(_mm_cmplt_epi16(s1, s0), fraction);
        const __m128i result = _mm_sub_epi16(_mm_add_epi16(s0, high), below);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + k), result);
        fraction = _mm_add_epi16(fraction, advance);
    }
    return k;
}
#undef DBM_GATHER_LANE
#endif

// `count` output frames by linear interpolation from `source` (source frame i
// at source[i]), starting at 16.16 `position` and advancing by `step`. The
// caller guarantees that every position read stays below the slide point.
void interpolate(int16_t *__restrict out, const int16_t *__restrict source, uint32_t position,
                 uint32_t step, uint32_t count)
{
    uint32_t k = 0;
#if defined(__SSE2__)
    k = interpolateWide(out, source, position, step, count);
#endif
#pragma GCC unroll 4 // loop control shared by four frames on a scalar CPU
    for (; k < count; ++k) {
        out[k] = interpolated(source, position);
        position += step;
    }
}

#if !defined(__SSE2__)
// The same, adding the two taps of each frame into the accumulator right
// after writing it (see MixTaps). `out` may be read back through the taps.
void interpolateMixing(int16_t *out, const int16_t *__restrict source, uint32_t position,
                       uint32_t step, uint32_t count, const MixTaps &taps)
{
    int32_t *__restrict mix = taps.mix;
    const int16_t *left = out - taps.leftDelay;
    const int16_t *right = out - taps.rightDelay;
    const int16_t leftGain = taps.leftGain;
    const int16_t rightGain = taps.rightGain;
#pragma GCC unroll 4 // loop control shared by four frames on a scalar CPU
    for (size_t k = 0; k < count; ++k) {
        out[k] = interpolated(source, position);
        position += step;
        mix[2 * k] = addScaled(mix[2 * k], leftGain, left[k]);
        mix[2 * k + 1] = addScaled(mix[2 * k + 1], rightGain, right[k]);
    }
}
#endif

} // namespace

template <typename Run>
uint32_t ResamplerNode::eachRun(uint32_t frames, Run run)
{
    uint32_t result = 1;
    for (uint32_t done = 0; done < frames;) {
        if (refill) {
            std::memset(buffer, 0, RESAMPLER_LEAD_IN * sizeof *buffer);
            result = pullPredecessor(buffer + RESAMPLER_LEAD_IN, RESAMPLER_REFILL_FRAMES, 1);
            refill = 0;
            position = 0;
        }
        if (position >= SLIDE_POSITION) {
            // Keep the last 16 entries (8 lead-in, 8 unread source frames)
            // and read the next 1008 source frames behind them.
            std::memcpy(buffer, buffer + RESAMPLER_SLIDE_FRAMES, 16 * sizeof *buffer);
            result = pullPredecessor(buffer + 16, RESAMPLER_SLIDE_FRAMES, 1);
            position -= SLIDE_POSITION;
        }
        // The frames before the position reaches the slide point need no
        // checks: the first n with position + n x step >= 1008.0 is
        // ceil((1008.0 - position) / step).
        uint32_t count = frames - done;
        if (step > 0) {
            const uint32_t untilSlide = (SLIDE_POSITION - position + step - 1) / step;
            if (untilSlide < count)
                count = untilSlide;
        }
        run(buffer + RESAMPLER_LEAD_IN, done, count);
        position += count * step;
        done += count;
    }
    return result;
}

uint32_t ResamplerNode::pull(int16_t *out, uint32_t frames)
{
    return eachRun(frames, [&](const int16_t *source, uint32_t done, uint32_t count) {
        interpolate(out + done, source, position, step, count);
    });
}

#if !defined(__SSE2__)
uint32_t ResamplerNode::pullMixing(int16_t *out, uint32_t frames, const MixTaps &taps)
{
    return eachRun(frames, [&](const int16_t *source, uint32_t done, uint32_t count) {
        MixTaps piece = taps;
        piece.mix += 2 * size_t(done);
        interpolateMixing(out + done, source, position, step, count, piece);
    });
}
#endif

void ResamplerNode::destroy()
{
    hostFree(buffer);
    hostDelete(this);
}

void ResamplerNode::setParameters(const NodeTag *tags)
{
    for (; tags && tags->id != TAG_END; ++tags) {
        if (tags->id == TAG_RESAMPLE_STEP)
            step = tags->value < MAX_RESAMPLE_STEP ? tags->value : MAX_RESAMPLE_STEP;
    }
}

void ResamplerNode::reset()
{
    if (prev)
        prev->reset();
    refill = 1;
}

} // namespace dbm
