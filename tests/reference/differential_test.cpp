// Our node kinds, mixing and output conversion against their literal
// references, on seeded random and corner cases: every output value, pull
// result, source pull and cursor is compared; a mismatch names the case's
// seed and the operations that led to it.
#include "differential_support.h"

#include "engine/engine.h"
#include "engine/lifecycle.h"
#include "engine/render.h"
#include "graph/echo.h"
#include "graph/nodes.h"
#include "graph/sample_source.h"

using namespace dbm;
using namespace differential;

namespace {

template <class T> std::vector<T> firstValues(const std::vector<T> &v, uint32_t frames)
{
    return std::vector<T>(v.begin(), v.begin() + 2 * frames);
}

// A resampler or pan delay fed by a stream, against the reference fed alike.
std::string streamed(uint64_t seed, Rng &rng, Log &log, ProcessingNode *ours, reference::Node &theirs,
                     uint32_t channels, NodeTag (*tag)(Rng &, Log &), const uint32_t *step)
{
    const uint32_t style = rng.below(4);
    const uint64_t end = rng.chance(30) ? uint64_t(rng.range(0, 20000)) : UINT64_MAX;
    log << "stream " << style << " ends after " << end << "; ";
    Script source(seed, style, 1, end), theirSource(seed, style, 1, end);
    NodeList list;
    list.append(&source);
    if (!ours)
        return "constructor failed";
    list.append(ours);
    theirs.input = &theirSource;
    auto poke = [&] {
        // Another kind's tag before or after this one's; sometimes ours gets it alone.
        const NodeTag tags[] = {{TAG_ECHO_MIX, 3}, tag(rng, log), {TAG_END, 0}};
        ours->setParameters(tags + (rng.chance(50) ? 1 : 0));
        theirs.setParameters(tags);
        return std::string();
    };
    auto check = [&] {
        return differ("source pulls", source.pulls, theirSource.pulls) + differ("resets", source.resets, theirSource.resets);
    };
    const std::string problem = drive(rng, log, ours, theirs, channels, poke, check, step);
    freeChain(list);
    return problem;
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
            uint32_t position = 0xDEAD;
            ours->getAttribute(ATTR_POSITION, &position);
            return differ("position", int32_t(position), theirs.position) +
                   differ("events", (ours->eventA != nullptr) + 2 * (ours->eventB != nullptr), theirs.hasA + 2 * theirs.hasB);
        };
        const std::string problem = drive(rng, log, ours, theirs, 1, poke, check);
        freeChain(owner);
        return problem;
    });
}

TEST(Reference, ResamplerFollowsRefillSlideInterpolationAndStepLimit)
{
    runCases(0x5B000000, 2000, [](uint64_t seed, Rng &rng, Log &log) {
        reference::Resampler theirs;
        auto step = [](Rng &r, Log &l) {
            const NodeTag tag{TAG_RESAMPLE_STEP, randomStep(r)};
            l << "step " << tag.value << "; ";
            return tag;
        };
        return streamed(seed, rng, log, createResampler(), theirs, 1, step, &theirs.step);
    });
}

TEST(Reference, PanDelayFollowsTheWindowForAnyPanningAndTable)
{
    runCases(0x5C000000, 2000, [](uint64_t seed, Rng &rng, Log &log) {
        // Growing tables as the engine builds them, or any delays within 0..64.
        int16_t table[128];
        const bool growing = rng.chance(50);
        const int32_t top = growing ? rng.pick({14, 63, 64, 3}) : 0;
        for (int i = 0; i < 128; ++i)
            table[i] = int16_t(growing ? top * (i + 1) * (i + 1) / (128 * 128) : rng.chance(30) ? rng.pick({0, 1, 63, 64}) : rng.range(0, 64));
        log << "table " << table[63] << " " << table[127] << "; ";
        reference::PanDelay theirs(table);
        auto panning = [](Rng &r, Log &l) {
            const NodeTag tag{TAG_PANNING, randomPanning(r)};
            l << "panning " << int32_t(tag.value) << "; ";
            return tag;
        };
        return streamed(seed, rng, log, createPanDelay(table), theirs, 2, panning, nullptr);
    });
}

TEST(Reference, EchoFollowsBlocksAndTheDelayLineAtEveryRateAndSetting)
{
    runCases(0x5D000000, 1000, [](uint64_t seed, Rng &rng, Log &log) -> std::string {
        const uint32_t rate = rng.pick({8000u, 8000u, 44100u, 192000u});
        log << "rate " << rate << "; ";
        Script source(seed, rng.below(4), 2), theirSource = source;
        NodeList list;
        list.append(&source);
        auto *ours = static_cast<EchoNode *>(createEcho(rate, ECHO_TRACK));
        if (!ours)
            return "createEcho failed";
        list.append(ours);
        reference::Echo theirs(rate);
        theirs.input = &theirSource;
        std::vector<int16_t> a, b;
        auto poke = [&] {
            if (rate > 44100 || rng.chance(50)) {
                const std::vector<NodeTag> tags = randomEchoTags(rng, log);
                ours->setParameters(tags.data());
                theirs.setParameters(tags.data());
                return std::string();
            }
            // About a whole line at once, so that the indices wrap.
            const uint32_t n = uint32_t(theirs.bufferFrames + rng.range(-20, 20));
            log << "pull " << n << "; ";
            a.assign(2 * size_t(n), 0x5555);
            b.assign(2 * size_t(n), 0x2AAA);
            ours->pull(a.data(), n);
            theirs.pull(b.data(), n);
            return differ("frames", a, b);
        };
        auto check = [&] {
            return differ("line length", ours->bufferFrames, theirs.bufferFrames) +
                   differ("delay", ours->delayFrames, theirs.delayFrames);
        };
        std::string problem = drive(rng, log, ours, theirs, 2, poke, check);
        if (problem.empty() && rate <= 44100)
            problem = differ("delay line", std::vector<int16_t>(ours->buffer, ours->buffer + theirs.buffer.size()), theirs.buffer);
        freeChain(list);
        return problem;
    });
}

TEST(Reference, ConvertOutputScalesWithinTheClipLevelAndSaturatesBeyond)
{
    runCases(0x5F000000, 3000, [](uint64_t, Rng &rng, Log &log) {
        const uint32_t r = rng.below(100);
        const int32_t gain = r < 40 ? rng.pick({0x10000, 0x8000, 1, 0, 0x7FFFFFFF, 0x1428, -0x10000})
                             : r < 80 ? int32_t(rng.range(1, 0x40000)) : int32_t(uint32_t(rng.next()));
        const int32_t clip = rng.chance(20) ? int32_t(rng.range(-INT32_MAX, INT32_MAX)) : gain != 0 ? INT32_MAX / gain : INT32_MAX;
        const uint32_t n = rng.below(300);
        std::vector<int32_t> mix(2 * size_t(n));
        for (int32_t &v : mix) {
            const uint32_t k = rng.below(100);
            v = k < 50 ? reference::wrap32(rng.pick({int64_t(clip), -int64_t(clip)}) + rng.range(-2, 2))
                : k < 60 ? rng.pick({0, INT32_MIN, INT32_MAX, -1}) : int32_t(uint32_t(rng.next()));
        }
        log << "gain " << gain << " clip " << clip << " frames " << n;
        Engine engine{};
        engine.mixBuffer = mix.data();
        engine.outputGain = gain;
        engine.clipLevel = clip;
        std::vector<int16_t> a(2 * size_t(n), 0x5555), b(2 * size_t(n), 0x2AAA);
        convertOutput(&engine, n, a.data());
        reference::convertOutput(mix.data(), n, gain, clip, b.data());
        return differ("output", a, b);
    });
}

// A whole track (voice chain, track output, echo) driven as the render loop
// drives it, mixed and converted, equals the reference chain.
TEST(Reference, TrackChainMixedAndConvertedEqualsTheReferenceChain)
{
    const uint32_t maxFrames = 44100;
    std::vector<int16_t> scratchA(2 * maxFrames), scratchB(2 * maxFrames), outA, outB;
    std::vector<int32_t> mixA(2 * maxFrames), mixB(2 * maxFrames);
    runCases(0x60000000, 300, [&](uint64_t seed, Rng &rng, Log &log) -> std::string {
        const uint32_t rate = rng.pick({8000u, 44100u, 192000u});
        const bool echo = rng.chance(70);
        log << "rate " << rate << " echo " << echo << "; ";
        const SampleSpec s = randomSample(rng, seed, log);
        const int32_t length = int32_t(s.data.size());
        int16_t table[PAN_DELAY_ENTRIES];
        buildPanDelayTable(table, rate);
        TrackState track{};
        ProcessingNode *nodes[] = {createSampleSource(s.data.data(), s.loopStart, s.loopLength, length, s.mode),
                                   createResampler(), createPanDelay(table), createTrackOutput(&track.voiceChain),
                                   echo ? createEcho(rate, ECHO_GLOBAL) : nullptr};
        for (int i = 0; i < 5; ++i)
            if (nodes[i])
                (i < 3 ? track.voiceChain : track.outputChain).append(nodes[i]);
        reference::SampleSource source(s.data.data(), s.loopStart, s.loopLength, length, s.mode);
        reference::Resampler resampler;
        reference::PanDelay panDelay(table);
        reference::TrackOutput output(&panDelay);
        reference::Echo echoNode(rate);
        resampler.input = &source;
        panDelay.input = &resampler;
        echoNode.input = &output;
        reference::Node *theirVoice[] = {&source, &resampler, &panDelay};
        reference::Node *theirLast = echo ? static_cast<reference::Node *>(&echoNode) : &output;
        uint32_t theirSounding = 0;
        Engine engine{};
        engine.trackScratch = scratchA.data();
        engine.mixBuffer = mixA.data();
        engine.outputGain = rng.pick({0x10000, 0x1428, 0x5A82, 0x40000});
        engine.clipLevel = INT32_MAX / engine.outputGain;
        std::string problem = !nodes[0] || !nodes[1] || !nodes[2] || !nodes[3] || (echo && !nodes[4]) ? "a constructor failed" : "";
        auto sendVoice = [&](const NodeTag *tags) {
            for (ProcessingNode *node = track.voiceChain.head; node; node = node->next)
                node->setParameters(tags);
            for (reference::Node *node : theirVoice)
                node->setParameters(tags);
        };
        for (uint32_t op = 0, operations = 2 + rng.below(12); op < operations && problem.empty(); ++op) {
            const uint32_t r = op == 0 ? 0 : rng.below(100);
            if (r < 15) {
                const NodeTag tags[] = {{TAG_BACKWARDS, rng.chance(30) ? 1u : 0u}, {TAG_POSITION, randomPosition(rng, length)}, {TAG_END, 0}};
                log << "restart " << tags[0].value << " " << int32_t(tags[1].value) << "; ";
                track.voiceChain.last()->reset();
                panDelay.reset();
                sendVoice(tags);
                track.sounding = theirSounding = 1;
            } else if (r < 45) {
                const NodeTag tags[] = {{TAG_RESAMPLE_STEP, rng.chance(70) ? uint32_t(rng.range(0x800, 0x60000)) : randomStep(rng)},
                                        {TAG_PANNING, uint32_t(int32_t(rng.range(-128, 128)))}, {TAG_END, 0}};
                sendVoice(tags);
                track.leftGain = randomGain(rng);
                track.rightGain = randomGain(rng);
                log << "step " << tags[0].value << " panning " << int32_t(tags[1].value) << " gains " << track.leftGain << " " << track.rightGain << "; ";
            } else if (r < 55) {
                const std::vector<NodeTag> tags = randomEchoTags(rng, log);
                for (ProcessingNode *node = track.outputChain.head; node; node = node->next)
                    node->setParameters(tags.data());
                echoNode.setParameters(tags.data());
            } else {
                const uint32_t n = affordable(pullSize(rng), resampler.step);
                log << "mix " << n << "; ";
                const bool pulled = track.sounding != 0;
                clearMix(&engine, n);
                std::fill(mixB.begin(), mixB.begin() + 2 * n, 0);
                mixTrack(&engine, track, mixA.data(), n);
                reference::mixTrack(mixB.data(), scratchB.data(), theirLast, theirSounding, track.leftGain, track.rightGain, n);
                outA.assign(2 * size_t(n), 0x5555);
                outB.assign(2 * size_t(n), 0x2AAA);
                convertOutput(&engine, n, outA.data());
                reference::convertOutput(mixB.data(), n, engine.outputGain, engine.clipLevel, outB.data());
                if (pulled)
                    problem = differ("track frames", firstValues(scratchA, n), firstValues(scratchB, n));
                problem += differ("sounding", track.sounding, theirSounding) + differ("accumulator", firstValues(mixA, n), firstValues(mixB, n)) +
                           differ("output", outA, outB);
            }
        }
        freeChain(track.outputChain);
        freeChain(track.voiceChain);
        return problem;
    });
}
