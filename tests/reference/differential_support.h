// Shared by the differential tests: a seeded generator, deterministic
// streams of stress values with a predecessor node for each side, the
// recording of a case's operations, and the random choices of parameters
// that aim at the corners (extreme values, one-frame loops, steps around the
// buffer limit, pulls around piece sizes).
#pragma once

#include "reference_nodes.h"

#include "base/host_services.h"
#include "graph/node.h"
#include "host/services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace differential {

using namespace dbm;

// 32-bit targets run under an emulator: fewer cases there.
constexpr int SCALE = sizeof(void *) == 4 ? 2 : 1;
constexpr int MAX_FAILING_CASES = 3;

inline uint64_t mixBits(uint64_t x)
{
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

class Rng {
public:
    explicit Rng(uint64_t seed) : state(seed) {}
    uint64_t next() { return mixBits(state += 0x9E3779B97F4A7C15ull); }
    uint32_t below(uint64_t n) { return uint32_t(next() % n); }
    int64_t range(int64_t low, int64_t high)
    {
        return low + int64_t(next() % uint64_t(high - low + 1));
    }
    bool chance(uint32_t percent) { return below(100) < percent; }
    template <class T, size_t N> T pick(const T (&list)[N]) { return list[below(N)]; }

private:
    uint64_t state;
};

// Value `index` of a deterministic stream. Style 0: any 16-bit value;
// 1: the extremes and their neighbours, so neighbours differ by up to 65535;
// 2: small values; 3: stretches of the other three.
inline int16_t streamValue(uint64_t seed, uint64_t index, uint32_t style)
{
    static const int16_t extremes[] = {-32768, 32767, -32767, 32766, 0, -1, 1, -16384};
    uint64_t h = (index + seed * 0x632BE59BD9B4E019ull) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    if (style == 3)
        style = uint32_t((((index / 29) + seed) * 0x94D049BB133111EBull) >> 62) % 3;
    switch (style) {
    case 0:
        return int16_t(uint16_t(h >> 16));
    case 1:
        return extremes[(h >> 40) % 8];
    default:
        return int16_t(int((h >> 40) % 128) - 64);
    }
}

// A predecessor's stream: a cycle of 4093 stress values, the same however
// it is cut into pulls; result 0 once more than `endAt` values have been
// delivered. Records its pulls and resets.
struct Script {
    Script(uint64_t seed, uint32_t style, uint32_t streamChannels, uint64_t end = UINT64_MAX)
        : channels(streamChannels), endAt(end)
    {
        auto values = std::make_shared<std::vector<int16_t>>(4093);
        for (size_t k = 0; k < values->size(); ++k)
            (*values)[k] = streamValue(seed, k, style);
        cycle = values;
    }

    uint32_t pull(int16_t *out, uint32_t frames)
    {
        pulls.push_back(frames);
        const size_t count = size_t(frames) * channels;
        size_t k = size_t(cursor % cycle->size());
        for (size_t i = 0; i < count; ++i) {
            out[i] = (*cycle)[k];
            if (++k == cycle->size())
                k = 0;
        }
        cursor += count;
        return cursor > endAt ? 0 : 1;
    }

    std::shared_ptr<const std::vector<int16_t>> cycle;
    uint32_t channels;
    uint64_t endAt;
    uint64_t cursor = 0;
    std::vector<uint32_t> pulls;
    int resets = 0;
};

class ScriptNode final : public ProcessingNode {
public:
    explicit ScriptNode(const Script &s) : ProcessingNode(0), script(s) {}
    uint32_t pull(int16_t *out, uint32_t frames) override { return script.pull(out, frames); }
    void destroy() override {} // owned by the test
    void setParameters(const NodeTag *) override {}
    uint32_t getAttribute(uint32_t, uint32_t *) override { return 0; }
    void reset() override { ++script.resets; }
    Script script;
};

class ScriptReference final : public reference::Node {
public:
    explicit ScriptReference(const Script &s) : script(s) {}
    uint32_t pull(int16_t *out, uint32_t frames) override { return script.pull(out, frames); }
    void reset() override { ++script.resets; }
    Script script;
};

// The operations of one case, written out only when it fails.
class Trace {
public:
    explicit Trace(uint64_t caseSeed) : seed(caseSeed) { steps.reserve(32); }
    void note(const char *what) { steps.push_back({what, 0, 0, 0}); }
    void note(const char *what, int64_t a) { steps.push_back({what, 1, a, 0}); }
    void note(const char *what, int64_t a, int64_t b) { steps.push_back({what, 2, a, b}); }
    std::string text() const
    {
        std::ostringstream s;
        s << "seed " << seed << ":";
        for (const Step &step : steps) {
            s << " " << step.what;
            if (step.count > 0)
                s << " " << step.a;
            if (step.count > 1)
                s << " " << step.b;
            s << ";";
        }
        return s.str();
    }

private:
    struct Step {
        const char *what;
        int count;
        int64_t a, b;
    };
    uint64_t seed;
    std::vector<Step> steps;
};

// "" when both runs of values agree, else where and how they first differ.
template <class T>
std::string difference(const char *what, const T *ours, const T *theirs, size_t count)
{
    if (std::equal(ours, ours + count, theirs))
        return "";
    for (size_t i = 0; i < count; ++i) {
        if (ours[i] != theirs[i]) {
            std::ostringstream s;
            s << what << " value " << i << " of " << count << ": ours " << int64_t(ours[i])
              << ", reference " << int64_t(theirs[i]);
            return s.str();
        }
    }
    return "";
}

template <class T>
std::string difference(const char *what, const std::vector<T> &ours, const std::vector<T> &theirs)
{
    if (ours.size() != theirs.size())
        return std::string(what) + ": counts differ (" + std::to_string(ours.size()) + " vs " +
               std::to_string(theirs.size()) + ")";
    return difference(what, ours.data(), theirs.data(), ours.size());
}

inline std::string differentValue(const char *what, int64_t ours, int64_t theirs)
{
    if (ours == theirs)
        return "";
    return std::string(what) + ": ours " + std::to_string(ours) + ", reference " +
           std::to_string(theirs);
}

inline uint32_t pullSize(Rng &rng)
{
    static const uint32_t sizes[] = {0, 1, 15, 16, 17, 1023, 1024, 1025, 4096};
    const uint32_t r = rng.below(100);
    if (r < 2)
        return 44100;
    if (r < 60)
        return rng.pick(sizes);
    return uint32_t(rng.range(1, 1200));
}

// Caps a pull so that at most about 50000 source frames are read for it.
inline uint32_t affordable(uint32_t frames, uint32_t step)
{
    const uint64_t limit = step > 0x10000 ? (uint64_t(50000) << 16) / step : 50000;
    return frames > limit ? uint32_t(limit < 1 ? 1 : limit) : frames;
}

inline uint32_t randomStep(Rng &rng)
{
    static const uint32_t corners[] = {0,          1,          2,          0x7FFF,     0x8000,
                                       0xFFFF,     0x10000,    0x10001,    0x03EFFFFF, 0x03F00000,
                                       0x03F00001, 0x03F0FFFF, 0x04000000, 0xFFFFFFFF};
    const uint32_t r = rng.below(100);
    if (r < 40)
        return rng.pick(corners);
    if (r < 75)
        return uint32_t(rng.range(1, 0x40000));
    if (r < 90)
        return uint32_t(rng.range(0, 0x04000000));
    return uint32_t(rng.next());
}

// A sample of stress values with a loop for `mode` that lies inside it.
struct SampleSpec {
    std::vector<int16_t> data;
    int32_t loopStart = 0;
    int32_t loopLength = 0;
    uint32_t mode = 0;
};

inline SampleSpec randomSample(Rng &rng, uint64_t seed, Trace &trace)
{
    SampleSpec s;
    const uint32_t r = rng.below(100);
    const int32_t length = int32_t(r < 20   ? rng.range(1, 3)
                                   : r < 60 ? rng.range(1, 64)
                                            : rng.range(1, 3000));
    const uint32_t style = rng.below(4);
    s.data.resize(size_t(length));
    for (int32_t k = 0; k < length; ++k)
        s.data[size_t(k)] = streamValue(seed, uint64_t(k), style);
    s.mode = rng.below(4);
    if (s.mode != 0) {
        const uint32_t a = rng.below(100);
        s.loopStart = a < 30 ? 0 : a < 50 ? length - 1 : int32_t(rng.range(0, length - 1));
        const int32_t room = length - s.loopStart;
        const uint32_t b = rng.below(100);
        s.loopLength = b < 30 ? 1 : b < 50 ? room : int32_t(rng.range(1, room));
    }
    trace.note("sample", length, style);
    trace.note("loop", s.loopStart, s.loopLength);
    trace.note("mode", s.mode);
    return s;
}

inline uint32_t randomPosition(Rng &rng, int32_t length)
{
    static const int32_t extremes[] = {0, 0x7FFFFFFF, -5, -(1 << 30)};
    const uint32_t r = rng.below(100);
    if (r < 15)
        return uint32_t(rng.pick(extremes));
    if (r < 35)
        return uint32_t(length + int32_t(rng.range(-1, 1)));
    return uint32_t(int32_t(rng.range(-length - 2, 2 * int64_t(length) + 2)));
}

inline uint32_t randomPanning(Rng &rng)
{
    static const int32_t corners[] = {0,   1,    -1,  40,   -40,  127,       -127,
                                      128, -128, 129, -129, 1000, INT32_MIN, INT32_MAX};
    return uint32_t(rng.chance(40) ? rng.pick(corners) : int32_t(rng.range(-128, 128)));
}

inline uint32_t randomShare(Rng &rng)
{
    static const uint32_t corners[] = {0, 1, 128, 254, 255, 256, 1000, 0xFFFFFFFF};
    return rng.chance(40) ? rng.pick(corners) : uint32_t(rng.range(0, 255));
}

// The four echo tags with random values, in random order, some left out.
inline std::vector<NodeTag> randomEchoTags(Rng &rng, Trace &trace)
{
    std::vector<NodeTag> tags;
    const uint32_t ids[] = {TAG_ECHO_DELAY, TAG_ECHO_FEEDBACK, TAG_ECHO_MIX, TAG_ECHO_CROSS};
    const bool all = rng.chance(60);
    for (uint32_t id : ids) {
        if (!all && rng.chance(50))
            continue;
        const uint32_t value =
            id == TAG_ECHO_DELAY && rng.chance(50) ? rng.pick({0u, 255u, 1u}) : randomShare(rng);
        tags.push_back({id, value});
        trace.note("echoTag", id, value);
    }
    for (size_t i = tags.size(); i > 1; --i)
        std::swap(tags[i - 1], tags[rng.below(i)]);
    if (rng.chance(20))
        tags.insert(tags.begin() + rng.below(tags.size() + 1), NodeTag{TAG_PANNING, 5});
    tags.push_back({TAG_END, 0});
    return tags;
}

inline int16_t randomGain(Rng &rng)
{
    static const int16_t corners[] = {0, 16384, -16384, 32767, -32768, 1, -1, 8192};
    return rng.chance(50) ? rng.pick(corners) : int16_t(uint16_t(rng.next()));
}

// Runs `count` cases of `body` (which returns "" or what differed), stopping
// after a few failing ones.
template <class Body> void runCases(uint64_t base, int count, Body body)
{
    dbm::pluginGlobals.host = kvhost::serviceRecord(10);
    kvhost::resetHostControls();
    const size_t blocks = kvhost::outstandingBlocks();
    int failing = 0;
    for (int i = 0; i < count / SCALE && failing < MAX_FAILING_CASES; ++i) {
        const uint64_t seed = base + uint64_t(i);
        Trace trace(seed);
        const std::string problem = body(seed, trace);
        if (!problem.empty()) {
            ++failing;
            ADD_FAILURE() << problem << "\n  case " << trace.text();
        }
    }
    EXPECT_EQ(kvhost::outstandingBlocks(), blocks);
}

} // namespace differential
