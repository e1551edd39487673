// The sample source against its literal, frame-by-frame reference, on seeded
// random and corner cases (extreme values, one-frame loops, firing counts
// running out, pulls around piece sizes, tags in any order): every output
// value, pull result and cursor is compared; a mismatch names the case's
// seed and the operations that led to it.
#include "reference_nodes.h"

#include "graph/nodes.h"
#include "graph/sample_source.h"
#include "tests/support/host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

using namespace dbm;

namespace {

using Log = std::ostringstream;

// 32-bit targets run under an emulator: fewer cases there.
constexpr int SCALE = sizeof(void *) == 4 ? 2 : 1;

inline uint64_t mixBits(uint64_t x)
{
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

class Rng {
public:
    explicit Rng(uint64_t seed) : state(seed) {}
    uint64_t next() { return mixBits(state += 0x9E3779B97F4A7C15ull); }
    uint32_t below(uint64_t n) { return uint32_t(next() % n); }
    int64_t range(int64_t low, int64_t high) { return low + int64_t(next() % uint64_t(high - low + 1)); }
    bool chance(uint32_t percent) { return below(100) < percent; }
    template <class T> T pick(std::initializer_list<T> list) { return list.begin()[below(list.size())]; }

private:
    uint64_t state;
};

// Value `index` of a stream of style 0 (any value), 1 (extremes, so that
// neighbours differ by up to 65535), 2 (small values) or 3 (stretches of each).
inline int16_t streamValue(uint64_t seed, uint64_t index, uint32_t style)
{
    static const int16_t extremes[] = {-32768, 32767, -32767, 32766, 0, -1, 1, -16384};
    const uint64_t h = mixBits(index + seed * 0x632BE59BD9B4E019ull);
    if (style == 3)
        style = uint32_t(mixBits(index / 29 + seed) % 3);
    return style == 0 ? int16_t(uint16_t(h >> 16)) : style == 1 ? extremes[(h >> 40) % 8] : int16_t(int((h >> 40) % 128) - 64);
}

// "" when both agree, else what differs and where the runs first part.
template <class T> std::string differ(const char *what, const std::vector<T> &ours, const std::vector<T> &theirs)
{
    const auto at = std::mismatch(ours.begin(), ours.end(), theirs.begin(), theirs.end()).first - ours.begin();
    return ours == theirs ? "" : std::string(what) + " differ from value " + std::to_string(at) + "; ";
}

inline std::string differ(const char *what, int64_t ours, int64_t theirs)
{
    return ours == theirs ? "" : std::string(what) + ": ours " + std::to_string(ours) + ", reference " + std::to_string(theirs) + "; ";
}

inline uint32_t pullSize(Rng &rng)
{
    const uint32_t r = rng.below(100);
    return r < 2 ? 44100 : r < 60 ? rng.pick({0u, 1u, 15u, 16u, 17u, 1023u, 1024u, 1025u, 4096u}) : uint32_t(rng.range(1, 1200));
}

// A sample of stress values with a loop for `mode` inside it.
struct SampleSpec {
    std::vector<int16_t> data;
    int32_t loopStart = 0, loopLength = 0;
    uint32_t mode = 0;
};

inline SampleSpec randomSample(Rng &rng, uint64_t seed, Log &log)
{
    SampleSpec s;
    const uint32_t r = rng.below(100);
    const int32_t length = int32_t(r < 20 ? rng.range(1, 3) : r < 60 ? rng.range(1, 64) : rng.range(1, 3000));
    const uint32_t style = rng.below(4);
    for (int32_t k = 0; k < length; ++k)
        s.data.push_back(streamValue(seed, uint64_t(k), style));
    s.mode = rng.below(4);
    if (s.mode != 0) {
        const uint32_t a = rng.below(100), b = rng.below(100);
        s.loopStart = a < 30 ? 0 : a < 50 ? length - 1 : int32_t(rng.range(0, length - 1));
        const int32_t room = length - s.loopStart;
        s.loopLength = b < 30 ? 1 : b < 50 ? room : int32_t(rng.range(1, room));
    }
    log << "sample " << length << " style " << style << " loop " << s.loopStart << "+" << s.loopLength << " mode " << s.mode << "; ";
    return s;
}

inline uint32_t randomPosition(Rng &rng, int32_t length)
{
    const uint32_t r = rng.below(100);
    if (r < 15)
        return uint32_t(rng.pick({0, 0x7FFFFFFF, -5, -(1 << 30)}));
    return uint32_t(r < 35 ? length + int32_t(rng.range(-1, 1)) : int32_t(rng.range(-length - 2, 2 * int64_t(length) + 2)));
}

// Puts `ours` and `theirs` through 1..8 random operations: `poke()` (the
// kind's own, returning what differed), a reset, or a pull of random size
// after which frames and results must agree; after each, `check()` must
// give "".
template <class Poke, class Check>
std::string drive(Rng &rng, Log &log, ProcessingNode *ours, reference::SampleSource &theirs, Poke poke, Check check)
{
    std::vector<int16_t> a, b;
    std::string problem;
    for (uint32_t op = 1 + rng.below(8); op > 0 && problem.empty(); --op) {
        const uint32_t r = rng.below(100);
        if (r < 30) {
            problem = poke();
        } else if (r < 38) {
            log << "reset; ";
            ours->reset();
            theirs.reset();
        } else {
            const uint32_t n = pullSize(rng);
            log << "pull " << n << "; ";
            a.assign(n, 0x5555);
            b.assign(n, 0x2AAA);
            const uint32_t resultA = ours->pull(a.data(), n), resultB = theirs.pull(b.data(), n);
            problem = differ("frames", a, b) + differ("result", resultA, resultB);
        }
        problem += check();
    }
    return problem;
}

// Runs `count` cases of body(seed, rng, log) (which returns "" or what
// differed), stopping after three failing ones; nothing is left over.
template <class Body> void runCases(uint64_t base, int count, Body body)
{
    testsupport::useHost();
    testsupport::LeakCheck leakCheck;
    int failing = 0;
    for (int i = 0; i < count / SCALE && failing < 3; ++i) {
        const uint64_t seed = base + uint64_t(i);
        Rng rng(seed);
        Log log;
        const std::string problem = body(seed, rng, log);
        if (!problem.empty() && ++failing)
            ADD_FAILURE() << problem << "\n  case " << seed << ": " << log.str();
    }
}

} // namespace

TEST(Reference, SampleSourceFollowsEveryLoopDirectionPositionAndFiringCount)
{
    runCases(0x5A000000, 3000, [](uint64_t seed, Rng &rng, Log &log) -> std::string {
        const SampleSpec s = randomSample(rng, seed, log);
        const int32_t length = int32_t(s.data.size());
        auto *ours = static_cast<SampleSourceNode *>(createSampleSource(s.data.data(), s.loopStart, s.loopLength, length, s.mode));
        if (!ours)
            return "createSampleSource failed";
        NodeList owner;
        owner.append(ours);
        reference::SampleSource theirs(s.data.data(), s.loopStart, s.loopLength, length, s.mode);
        auto poke = [&] {
            if (rng.chance(30)) {
                const int32_t a = int32_t(rng.below(4)), b = int32_t(rng.below(4));
                log << "firings left " << a << " " << b << "; ";
                if (ours->eventA)
                    ours->eventA->remaining = a;
                if (ours->eventB)
                    ours->eventB->remaining = b;
                theirs.A.remaining = a;
                theirs.B.remaining = b;
                return std::string();
            }
            std::vector<NodeTag> tags;
            for (uint32_t t = 0, count = 1 + rng.below(4); t < count; ++t) {
                const uint32_t kind = rng.below(5);
                tags.push_back(kind < 2   ? NodeTag{TAG_BACKWARDS, rng.pick({0u, 1u, 0x80000000u, 7u})}
                               : kind < 4 ? NodeTag{TAG_POSITION, randomPosition(rng, length)}
                                          : NodeTag{rng.pick({3u, 7u, 10u, 1000u}), uint32_t(rng.next())});
                log << "tag " << tags.back().id << "=" << int32_t(tags.back().value) << "; ";
            }
            tags.push_back({TAG_END, 0});
            ours->setParameters(tags.data());
            theirs.setParameters(tags.data());
            return std::string();
        };
        auto check = [&] {
            uint32_t position = 0xDEAD; // and the position must be answered
            return differ("position", ours->getAttribute(ATTR_POSITION, &position) == 1 ? int32_t(position) : -1, theirs.position);
        };
        const std::string problem = drive(rng, log, ours, theirs, poke, check);
        freeChain(owner);
        return problem;
    });
}
