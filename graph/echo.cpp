#include "graph/echo.h"

#include "base/fixed_point.h"
#include "base/host_services.h"
#include "graph/gain_stage.h"
#include "graph/nodes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dbm {

namespace {

constexpr uint32_t MIN_RATE = 8000;
constexpr uint32_t MAX_RATE = 192000;
constexpr uint32_t MAX_SHARE = 255;

uint32_t limitShare(uint32_t value)
{
    return value < MAX_SHARE ? value : MAX_SHARE;
}

// Delay in frames for `units` of 2 ms, rounded to the nearest frame.
int32_t delayFramesFor(uint32_t sampleRate, uint32_t units)
{
    return (static_cast<int32_t>(sampleRate) * static_cast<int32_t>(units) + 250) / 500;
}

} // namespace

ProcessingNode *createEcho(uint32_t sampleRate, uint32_t mode)
{
    if (sampleRate < MIN_RATE || sampleRate > MAX_RATE)
        return nullptr;
    EchoNode *node = hostNew<EchoNode>();
    if (!node)
        return nullptr;
    node->mode = mode;
    node->sampleRate = sampleRate;
    const int32_t rate = static_cast<int32_t>(sampleRate);
    // The bit of value 4 is cleared (a mask, not a rounding to a multiple of
    // 4). The exact length is audible: a delay of 0 plays the frame written
    // one whole line earlier.
    node->bufferFrames = ((rate >> 1) + (rate >> 6) + 3) & ~int32_t(4);
    node->buffer = hostArray<int16_t>(2 * static_cast<uint32_t>(node->bufferFrames));
    if (!node->buffer) {
        hostDelete(node);
        return nullptr;
    }
    node->delayFrames = delayFramesFor(sampleRate, 64);
    node->wetLevel = 128;
    node->dryLevel = 128;
    node->crossFeedback = 32640;
    node->crossInput = 32640;
    node->directFeedback = 128;
    node->directInput = 128;
    return node;
}

namespace {

struct EchoWeights {
    int32_t directInput, crossInput, directFeedback, crossFeedback;
    int16_t dry, wet; // out of 256: 16 bits, so the output products are narrow
    // The shares the weights are made of (see setParameters): the feedback f
    // out of 256, and 128 - c for the cross-feed c out of 256.
    int32_t feedback, halfCrossRest;
};

EchoWeights weightsOf(const EchoNode &node)
{
    EchoWeights w{};
    w.directInput = node.directInput;
    w.crossInput = node.crossInput;
    w.directFeedback = node.directFeedback;
    w.crossFeedback = node.crossFeedback;
    w.dry = static_cast<int16_t>(node.dryLevel);
    w.wet = static_cast<int16_t>(node.wetLevel);
    // f x 256 = directFeedback + crossFeedback; c x 256 = crossInput + crossFeedback.
    w.feedback = (node.directFeedback + node.crossFeedback) >> 8;
    w.halfCrossRest = 128 - ((node.crossInput + node.crossFeedback) >> 8);
    return w;
}

// One frame's arithmetic: reads the delayed frame, writes the delay line and
// gives the output frame, which fits 16 bits (it lies between the input and
// the delayed frame). Written with the shares rather than the six weights,
// which takes five multiplications instead of twelve; the results are the
// same to the bit:
// - output: (x dry + d wet) >> 8 with dry = 256 - wet is x + ((d - x) wet >> 8),
//   since x x 256 is a whole multiple of 256.
// - delay line: with e = d - x and p = 256 x + f e per side, the weights
//   (256 - f)(256 - c), (256 - f)c, f(256 - c) and fc give left + right =
//   256 (pL + pR) and left - right = 2(128 - c)(pL - pR); so left =
//   128 (pL + pR) + (128 - c)(pL - pR) and right = 128 (pL + pR) -
//   (128 - c)(pL - pR). Those sums fit 32 bits, as the weighted sums do, so
//   forming them with wrapping arithmetic gives them exactly.
struct StereoValue {
    int32_t left, right;
};

inline StereoValue echoFrame(const int16_t *in, const int16_t *delayed, int16_t *line,
                             const EchoWeights &w)
{
    const int32_t xL = in[0];
    const int32_t xR = in[1];
    const int32_t eL = delayed[0] - xL;
    const int32_t eR = delayed[1] - xR;
    const int32_t pL = wrapAdd(shiftLeft(xL, 8), wrapMul(w.feedback, eL));
    const int32_t pR = wrapAdd(shiftLeft(xR, 8), wrapMul(w.feedback, eR));
    const int32_t common = shiftLeft(wrapAdd(pL, pR), 7);
    const int32_t apart = wrapMul(w.halfCrossRest, wrapSub(pL, pR));
    line[0] = low16(wrapAdd(common, apart) >> 16);
    line[1] = low16(wrapSub(common, apart) >> 16);
    return {xL + ((eL * w.wet) >> 8), xR + ((eR * w.wet) >> 8)};
}

// The frame in place: the output frame replaces the input frame.
inline void echoFrameInPlace(int16_t *io, const int16_t *delayed, int16_t *line,
                             const EchoWeights &w)
{
    const StereoValue out = echoFrame(io, delayed, line, w);
    io[0] = low16(out.left);
    io[1] = low16(out.right);
}

#if defined(__SSE2__)
// Four frames at a time where SSE2 is there; `frames` is a multiple of 4.
// Each delay-line weight is split as w = high x 256 + low (high at most 256,
// low at most 255), so that every product is a 16 x 16-bit one and each pair
// of them is one multiply-add of a left and a right value: the high sums
// times 256 plus the low sums give exactly the 32-bit sums of the plain loop,
// and their results, like the output frames, fit 16 bits, so the saturating
// packs only narrow them.
void echoApartWide(int16_t *io, const int16_t *delayed, int16_t *line, size_t frames,
                   const EchoWeights &w)
{
    auto pairs = [](int32_t first, int32_t second) {
        return _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(second) << 16) |
                                                   (static_cast<uint32_t>(first) & 0xFFFF)));
    };
    const __m128i inputHighLeft = pairs(w.directInput >> 8, w.crossInput >> 8);
    const __m128i inputHighRight = pairs(w.crossInput >> 8, w.directInput >> 8);
    const __m128i inputLowLeft = pairs(w.directInput & 255, w.crossInput & 255);
    const __m128i inputLowRight = pairs(w.crossInput & 255, w.directInput & 255);
    const __m128i feedbackHighLeft = pairs(w.directFeedback >> 8, w.crossFeedback >> 8);
    const __m128i feedbackHighRight = pairs(w.crossFeedback >> 8, w.directFeedback >> 8);
    const __m128i feedbackLowLeft = pairs(w.directFeedback & 255, w.crossFeedback & 255);
    const __m128i feedbackLowRight = pairs(w.crossFeedback & 255, w.directFeedback & 255);
    const __m128i dryWet = pairs(w.dry, w.wet);
    for (size_t k = 0; k < frames; k += 4) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(io + 2 * k));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(delayed + 2 * k));
        const __m128i highLeft = _mm_add_epi32(_mm_madd_epi16(x, inputHighLeft),
                                               _mm_madd_epi16(d, feedbackHighLeft));
        const __m128i lowLeft = _mm_add_epi32(_mm_madd_epi16(x, inputLowLeft),
                                              _mm_madd_epi16(d, feedbackLowLeft));
        const __m128i highRight = _mm_add_epi32(_mm_madd_epi16(x, inputHighRight),
                                                _mm_madd_epi16(d, feedbackHighRight));
        const __m128i lowRight = _mm_add_epi32(_mm_madd_epi16(x, inputLowRight),
                                               _mm_madd_epi16(d, feedbackLowRight));
        const __m128i left = _mm_srai_epi32(_mm_add_epi32(_mm_slli_epi32(highLeft, 8), lowLeft), 16);
        const __m128i right =
            _mm_srai_epi32(_mm_add_epi32(_mm_slli_epi32(highRight, 8), lowRight), 16);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(line + 2 * k),
                         _mm_packs_epi32(_mm_unpacklo_epi32(left, right),
                                         _mm_unpackhi_epi32(left, right)));
        const __m128i first = _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(x, d), dryWet), 8);
        const __m128i second = _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(x, d), dryWet), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(io + 2 * k), _mm_packs_epi32(first, second));
    }
}
#endif

// `frames` frames whose delayed frames and delay-line frames are two separate
// ranges, so the frames do not depend on each other.
void echoApart(int16_t *__restrict io, const int16_t *__restrict delayed,
               int16_t *__restrict line, size_t frames, const EchoWeights w)
{
    size_t k = 0;
#if defined(__SSE2__)
    k = frames & ~size_t(3);
    echoApartWide(io, delayed, line, k, w);
#endif
    for (; k < frames; ++k)
        echoFrameInPlace(io + 2 * k, delayed + 2 * k, line + 2 * k, w);
}

#if !defined(__SSE2__)
// The same, adding the output frames into the accumulator at the track's
// gains instead of storing them (the plain builds' EchoNode::mixInto).
void echoApartInto(int32_t *__restrict mix, const int16_t *__restrict in,
                   const int16_t *__restrict delayed, int16_t *__restrict line, size_t frames,
                   const EchoWeights w, int16_t leftGain, int16_t rightGain)
{
    for (size_t k = 0; k < frames; ++k) {
        const StereoValue out = echoFrame(in + 2 * k, delayed + 2 * k, line + 2 * k, w);
        mix[2 * k] = addScaled(mix[2 * k], leftGain, out.left);
        mix[2 * k + 1] = addScaled(mix[2 * k + 1], rightGain, out.right);
    }
}
#endif

// The same where each frame reads the delay-line frame it then overwrites (a
// delay of 0 or of the whole line).
void echoSameFrame(int16_t *io, int16_t *line, size_t frames, const EchoWeights &w)
{
    for (size_t k = 0; k < frames; ++k)
        echoFrameInPlace(io + 2 * k, line + 2 * k, line + 2 * k, w);
}

} // namespace

EchoNode::Stretch EchoNode::nextStretch(size_t frames) const
{
    int32_t read = writeIndex - delayFrames;
    if (read < 0)
        read += bufferFrames;
    size_t run = frames;
    const size_t toWriteEnd = size_t(bufferFrames - writeIndex);
    const size_t toReadEnd = size_t(bufferFrames - read);
    if (run > toWriteEnd)
        run = toWriteEnd;
    if (run > toReadEnd)
        run = toReadEnd;
    if (read != writeIndex) {
        const size_t apart = size_t(read < writeIndex ? writeIndex - read : read - writeIndex);
        if (run > apart)
            run = apart;
    }
    return {buffer + 2 * size_t(read), buffer + 2 * size_t(writeIndex), run};
}

template <typename Body>
void EchoNode::eachStretch(size_t frames, Body body)
{
    for (size_t done = 0; done < frames;) {
        const Stretch stretch = nextStretch(frames - done);
        body(stretch, done);
        writeIndex += static_cast<int32_t>(stretch.run);
        if (writeIndex == bufferFrames)
            writeIndex = 0;
        done += stretch.run;
    }
}

// The predecessor is pulled for the whole request at once, straight into the
// output buffer, and the echo is applied in place: every node before it
// delivers the same stream however it is cut into pulls, so this equals
// pulling it 16 frames at a time.
uint32_t EchoNode::pull(int16_t *out, uint32_t frames)
{
    pullPredecessor(out, frames, 2);
    const EchoWeights weights = weightsOf(*this);
    eachStretch(frames, [&](const Stretch &stretch, size_t done) {
        int16_t *io = out + 2 * done;
        if (stretch.delayed == stretch.line)
            echoSameFrame(io, stretch.line, stretch.run, weights);
        else
            echoApart(io, stretch.delayed, stretch.line, stretch.run, weights);
    });
    return 1;
}

#if !defined(__SSE2__)
uint32_t EchoNode::mixInto(int32_t *mix, int16_t *scratch, int16_t leftGain, int16_t rightGain,
                           uint32_t frames)
{
    pullPredecessor(scratch, frames, 2);
    const EchoWeights weights = weightsOf(*this);
    eachStretch(frames, [&](const Stretch &stretch, size_t done) {
        int16_t *in = scratch + 2 * done;
        int32_t *into = mix + 2 * done;
        if (stretch.delayed == stretch.line) {
            echoSameFrame(in, stretch.line, stretch.run, weights);
            addScaledFrames(into, in, leftGain, rightGain, static_cast<uint32_t>(stretch.run));
        } else {
            echoApartInto(into, in, stretch.delayed, stretch.line, stretch.run, weights, leftGain,
                          rightGain);
        }
    });
    return 1;
}
#endif

void EchoNode::destroy()
{
    hostFree(buffer);
    hostDelete(this);
}

void EchoNode::setParameters(const NodeTag *tags)
{
    int32_t feedback = 0;
    int32_t mix = 0;
    int32_t cross = 0;
    bool sharesGiven = false;
    for (; tags && tags->id != TAG_END; ++tags) {
        const int32_t share = static_cast<int32_t>(limitShare(tags->value));
        switch (tags->id) {
        case TAG_ECHO_DELAY:
            delayFrames = delayFramesFor(sampleRate, limitShare(tags->value));
            break;
        case TAG_ECHO_FEEDBACK:
            feedback = share;
            sharesGiven = true;
            break;
        case TAG_ECHO_MIX:
            mix = share;
            sharesGiven = true;
            break;
        case TAG_ECHO_CROSS:
            cross = share;
            sharesGiven = true;
            break;
        default:
            break;
        }
    }
    if (!sharesGiven)
        return;
    wetLevel = mix;
    dryLevel = 256 - mix;
    crossFeedback = feedback * cross;
    crossInput = (256 - feedback) * cross;
    directFeedback = feedback * (256 - cross);
    directInput = (256 - feedback) * (256 - cross);
}

uint32_t EchoNode::getAttribute(uint32_t id, uint32_t *out)
{
    if (id != ATTR_ECHO_MODE)
        return 0;
    *out = mode;
    return 1;
}

} // namespace dbm
