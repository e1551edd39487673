#include "tools/demo/waveforms.h"

#include <algorithm>
#include <cstdlib>

namespace demo {
namespace {

constexpr int64_t ONE = int64_t(1) << 30; // Q30 unity
constexpr uint32_t DRUM_RATE = 22050;

// Deterministic white noise, +-32767.
class Noise {
public:
    int32_t next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return int32_t(state_ % 65535u) - 32767;
    }

private:
    uint32_t state_ = 0x2545F491u;
};

// An exponential decay: multiplies a Q30 amplitude by a fixed factor per frame,
// falling to about 37% after `frames` frames.
class Decay {
public:
    explicit Decay(uint32_t frames) : factor_(ONE - ONE / std::max<uint32_t>(frames, 1)) {}
    int64_t next()
    {
        int64_t now = amplitude_;
        amplitude_ = (amplitude_ * factor_) >> 30;
        return now;
    }

private:
    int64_t factor_;
    int64_t amplitude_ = ONE;
};

// Phase increment (2^32 = one turn) for `hz` x `num` / `den` at `rate`.
uint32_t increment(uint64_t hz, uint64_t num, uint64_t den, uint32_t rate)
{
    return uint32_t(((hz * num) << 32) / (den * rate));
}

int32_t cosine(uint32_t phase)
{
    return sine(phase + 0x40000000u);
}

// Scales values to the given peak, rounding toward zero.
std::vector<int32_t> normalise(const std::vector<int64_t> &values, int64_t peak)
{
    int64_t largest = 1;
    for (int64_t v : values)
        largest = std::max(largest, v < 0 ? -v : v);
    std::vector<int32_t> out;
    out.reserve(values.size());
    for (int64_t v : values)
        out.push_back(int32_t(v * peak / largest));
    return out;
}

// Linear fade over the last `frames` frames, so a sample ends without a click.
void fadeOut(std::vector<int32_t> &values, size_t frames)
{
    frames = std::min(frames, values.size());
    size_t start = values.size() - frames;
    for (size_t i = 0; i < frames; ++i)
        values[start + i] = int32_t(int64_t(values[start + i]) * int64_t(frames - i) / int64_t(frames));
}

} // namespace

int32_t sine(uint32_t phase)
{
    // Fold into the first quarter turn, then an odd polynomial of sin(x pi / 2)
    // on x in [0, 1] (Q30), accurate to a few millionths.
    static const int64_t coefficients[] = {1686629713, -693598668, 85569306, -5026995, 172272};
    uint32_t quadrant = phase >> 30;
    int64_t x = phase & 0x3FFFFFFFu;
    if (quadrant & 1)
        x = ONE - x;
    int64_t x2 = (x * x) >> 30;
    int64_t sum = coefficients[4];
    for (int i = 3; i >= 0; --i)
        sum = coefficients[i] + ((x2 * sum) >> 30);
    int64_t value = (x * sum) >> 30; // Q30, 0..1
    int32_t scaled = int32_t((value * 32767 + (ONE >> 1)) >> 30);
    return quadrant & 2 ? -scaled : scaled;
}

std::vector<int32_t> pluckedBass(uint32_t frames)
{
    Noise noise;
    std::vector<int64_t> line(CYCLE_FRAMES);
    int64_t previous = 0;
    for (auto &v : line) { // softened noise burst: a warmer attack
        previous = (previous + noise.next()) / 2;
        v = previous;
    }
    std::vector<int64_t> out(frames);
    const int64_t damping = ONE - ONE / 5000;
    for (uint32_t n = 0; n < frames; ++n) {
        size_t i = n % CYCLE_FRAMES;
        size_t j = (n + 1) % CYCLE_FRAMES;
        out[n] = line[i];
        line[i] = (((line[i] + line[j]) / 2) * damping) >> 30;
    }
    std::vector<int32_t> result = normalise(out, 26000);
    fadeOut(result, 1024);
    return result;
}

std::vector<int32_t> chorusPad(uint32_t frames)
{
    // Cycle counts over the whole sample: C-4 and two tones a few cents off.
    const uint32_t cycles = frames / CYCLE_FRAMES;
    const uint32_t counts[] = {cycles, cycles + 1, cycles - 1};
    std::vector<int64_t> out(frames);
    for (uint32_t n = 0; n < frames; ++n) {
        int64_t sum = 0;
        for (uint32_t count : counts) {
            uint32_t phase = uint32_t((uint64_t(count) * n << 32) / frames);
            for (uint32_t h = 1; h <= 10; ++h)
                sum += sine(phase * h) * 60 / int64_t(h * h + 5 * h); // soft saw
        }
        out[n] = sum;
    }
    return normalise(out, 24000);
}

std::vector<int32_t> lead(uint32_t frames)
{
    std::vector<int64_t> out(frames);
    for (uint32_t n = 0; n < frames; ++n) {
        uint32_t phase = uint32_t((uint64_t(n % CYCLE_FRAMES) << 32) / CYCLE_FRAMES);
        int64_t soft = 0, bright = 0;
        for (uint32_t h = 1; h <= 3; ++h)
            soft += cosine(phase * h) / int64_t(h * h);
        for (uint32_t h = 1; h <= 15; h += 2)
            bright += cosine(phase * h) / int64_t(h);
        // Brightness swells and falls once along the sample.
        int64_t mix = (int64_t(sine(uint32_t(uint64_t(n) * 0x80000000u / frames))) * 1024) / 32767;
        out[n] = soft * (1024 - mix) + bright * mix;
    }
    return normalise(out, 24000);
}

std::vector<int32_t> bell(uint32_t frames)
{
    // Partials as ratios of C-4 (numerator / 100) with their decay lengths.
    struct Partial {
        uint64_t ratio;
        uint32_t decay;
        int64_t level;
    };
    const Partial partials[] = {{100, 9000, 100}, {200, 5000, 40}, {276, 2500, 45},
                                {540, 1200, 25}, {893, 600, 15}};
    std::vector<int64_t> out(frames, 0);
    const uint32_t base = CYCLE_BASE_RATE / CYCLE_FRAMES;
    for (const Partial &p : partials) {
        uint32_t step = increment(base, p.ratio, 100, CYCLE_BASE_RATE);
        Decay decay(p.decay);
        uint32_t phase = 0;
        for (uint32_t n = 0; n < frames; ++n, phase += step)
            out[n] += ((sine(phase) * p.level) * decay.next()) >> 30;
    }
    std::vector<int32_t> result = normalise(out, 22000);
    fadeOut(result, 256);
    return result;
}

std::vector<int32_t> kick()
{
    const uint32_t frames = DRUM_RATE * 2 / 5;
    std::vector<int64_t> out(frames);
    Decay body(DRUM_RATE * 3 / 20);
    Decay sweep(DRUM_RATE / 30);
    uint32_t phase = 0;
    for (uint32_t n = 0; n < frames; ++n) {
        // Pitch falls from about 150 Hz to 45 Hz.
        int64_t hz = 45 + ((105 * sweep.next()) >> 30);
        phase += increment(uint64_t(hz), 1, 1, DRUM_RATE);
        out[n] = (int64_t(sine(phase)) * body.next()) >> 30;
    }
    std::vector<int32_t> result = normalise(out, 30000);
    fadeOut(result, 512);
    return result;
}

std::vector<int32_t> snare()
{
    const uint32_t frames = DRUM_RATE / 4;
    std::vector<int64_t> out(frames);
    Noise noise;
    Decay rattle(DRUM_RATE * 6 / 100);
    Decay tone(DRUM_RATE * 4 / 100);
    uint32_t phase = 0;
    const uint32_t step = increment(190, 1, 1, DRUM_RATE);
    int64_t last = 0;
    for (uint32_t n = 0; n < frames; ++n, phase += step) {
        int64_t white = noise.next();
        int64_t bright = white - last / 2; // tilt toward the highs
        last = white;
        out[n] = ((bright * rattle.next()) >> 30) + ((int64_t(sine(phase)) * 3 / 4 * tone.next()) >> 30);
    }
    std::vector<int32_t> result = normalise(out, 26000);
    fadeOut(result, 512);
    return result;
}

std::vector<int32_t> hiHat()
{
    const uint32_t frames = DRUM_RATE * 12 / 100;
    std::vector<int64_t> out(frames);
    Noise noise;
    Decay decay(DRUM_RATE * 25 / 1000);
    int64_t last = 0;
    for (uint32_t n = 0; n < frames; ++n) {
        int64_t white = noise.next();
        out[n] = ((white - last) * decay.next()) >> 30; // first difference: highs only
        last = white;
    }
    std::vector<int32_t> result = normalise(out, 20000);
    fadeOut(result, 256);
    return result;
}

} // namespace demo
