// Mixing, output conversion and a whole track against their literal
// references: the accumulator arithmetic on random buffers and gains around
// the clip level, and a voice chain with track output and echo driven as the
// render loop drives it.
#include "differential_support.h"

#include "engine/engine.h"
#include "engine/lifecycle.h"
#include "engine/render.h"
#include "graph/nodes.h"

using namespace dbm;
using namespace differential;

TEST(ReferenceMixing, MixTrackAddsScaledFramesIntoTheWrappingAccumulator)
{
    // A sounding track adds (gain x sample) >> 14, wrapping, and keeps its pull's result.
    runCases(0x5E000000, 3000, [](uint64_t seed, Trace &trace) -> std::string {
        Rng rng(seed);
        const Script script(seed, rng.below(4), 2,
                            rng.chance(30) ? rng.range(0, 5000) : UINT64_MAX);
        ScriptNode source(script);
        ScriptReference theirSource(script);
        const uint32_t n = rng.chance(50) ? pullSize(rng) % 4097 : rng.below(40);
        std::vector<int16_t> scratchA(2 * size_t(n) + 2, 0x5555),
            scratchB(2 * size_t(n) + 2, 0x5555);
        std::vector<int32_t> mixA(2 * size_t(n) + 2);
        for (int32_t &v : mixA) {
            static const int32_t corners[] = {0, INT32_MAX, INT32_MIN, INT32_MAX - 3, INT32_MIN + 3,
                                              -1};
            v = rng.chance(30) ? rng.pick(corners) : int32_t(uint32_t(rng.next()));
        }
        std::vector<int32_t> mixB = mixA;
        Engine engine{};
        engine.trackScratch = scratchA.data();
        TrackState track{};
        const bool chain = !rng.chance(5);
        if (chain)
            track.outputChain.append(&source);
        track.sounding = rng.chance(10) ? 0 : rng.pick({1u, 7u});
        track.leftGain = randomGain(rng);
        track.rightGain = randomGain(rng);
        trace.note("frames", n, chain);
        trace.note("sounding", track.sounding);
        trace.note("gains", track.leftGain, track.rightGain);
        uint32_t sounding = track.sounding;
        mixTrack(&engine, track, mixA.data(), n);
        reference::mixTrack(mixB.data(), scratchB.data(), chain ? &theirSource : nullptr, sounding,
                            track.leftGain, track.rightGain, n);
        std::string problem = difference("accumulator", mixA, mixB);
        if (problem.empty())
            problem = difference("scratch", scratchA, scratchB);
        if (problem.empty())
            problem = differentValue("sounding", track.sounding, sounding);
        if (problem.empty())
            problem = difference("pulls", source.script.pulls, theirSource.script.pulls);
        return problem;
    });
}

TEST(ReferenceMixing, ConvertOutputScalesWithinClipLevelAndSaturatesBeyond)
{
    // Beyond +-clipLevel +-32767, else the low 16 bits of the 32-bit (v x outputGain) >> 16.
    runCases(0x5F000000, 3000, [](uint64_t seed, Trace &trace) -> std::string {
        Rng rng(seed);
        static const int32_t gains[] = {0x10000, 0x8000, 1, 0, 0x7FFFFFFF, 0x1428, -0x10000};
        const uint32_t r = rng.below(100);
        const int32_t gain = r < 40   ? rng.pick(gains)
                             : r < 80 ? int32_t(rng.range(1, 0x40000))
                                      : int32_t(uint32_t(rng.next()));
        int32_t clip = gain != 0 ? INT32_MAX / gain : INT32_MAX;
        if (rng.chance(20))
            clip = int32_t(rng.range(-INT32_MAX, INT32_MAX));
        const uint32_t n = rng.below(300);
        std::vector<int32_t> mix(2 * size_t(n));
        for (int32_t &v : mix) {
            const uint32_t k = rng.below(100);
            if (k < 50)
                v = reference::wrap32(rng.pick({int64_t(clip), -int64_t(clip)}) + rng.range(-2, 2));
            else if (k < 60)
                v = rng.pick({0, INT32_MIN, INT32_MAX, -1});
            else
                v = int32_t(uint32_t(rng.next()));
        }
        trace.note("gain", gain, clip);
        trace.note("frames", n);
        Engine engine{};
        engine.mixBuffer = mix.data();
        engine.outputGain = gain;
        engine.clipLevel = clip;
        std::vector<int16_t> a(2 * size_t(n), 0x5555), b(2 * size_t(n), 0x2AAA);
        convertOutput(&engine, n, a.data());
        reference::convertOutput(mix.data(), n, gain, clip, b.data());
        return difference("output", a, b);
    });
}

TEST(ReferenceChain, VoiceTrackOutputAndEchoMixedEqualTheReferenceChain)
{
    // A whole track (voice chain, track output, echo) rendered and mixed equals the reference.
    const uint32_t maxFrames = 44100;
    std::vector<int16_t> scratchA(2 * maxFrames), scratchB(2 * maxFrames);
    std::vector<int32_t> mixA(2 * maxFrames), mixB(2 * maxFrames);
    std::vector<int16_t> outA, outB;
    runCases(0x60000000, 300, [&](uint64_t seed, Trace &trace) -> std::string {
        Rng rng(seed);
        const uint32_t rate = rng.pick({8000u, 44100u, 192000u});
        const bool echo = rng.chance(70);
        trace.note("rate", rate, echo);
        const SampleSpec sample = randomSample(rng, seed, trace);
        const int32_t length = int32_t(sample.data.size());
        int16_t table[PAN_DELAY_ENTRIES];
        buildPanDelayTable(table, rate);

        TrackState track{};
        ProcessingNode *nodes[] = {createSampleSource(sample.data.data(), sample.loopStart,
                                                      sample.loopLength, length, sample.mode),
                                   createResampler(), createPanDelay(table),
                                   createTrackOutput(&track.voiceChain),
                                   echo ? createEcho(rate, ECHO_GLOBAL) : nullptr};
        for (int i = 0; i < 3; ++i)
            if (nodes[i])
                track.voiceChain.append(nodes[i]);
        for (int i = 3; i < 5; ++i)
            if (nodes[i])
                track.outputChain.append(nodes[i]);
        reference::SampleSource source(sample.data.data(), sample.loopStart, sample.loopLength,
                                       length, sample.mode);
        reference::Resampler resampler;
        resampler.input = &source;
        reference::PanDelay panDelay(table);
        panDelay.input = &resampler;
        reference::TrackOutput output(&panDelay);
        reference::Echo echoNode(rate);
        echoNode.input = &output;
        reference::Node *theirVoice[] = {&source, &resampler, &panDelay};
        reference::Node *theirLast = echo ? static_cast<reference::Node *>(&echoNode) : &output;
        uint32_t theirSounding = 0;

        Engine engine{};
        engine.trackScratch = scratchA.data();
        engine.mixBuffer = mixA.data();
        engine.outputGain = rng.pick({0x10000, 0x1428, 0x5A82, 0x40000});
        engine.clipLevel = INT32_MAX / engine.outputGain;
        uint32_t step = 0x10000;
        std::string problem;
        if (!nodes[0] || !nodes[1] || !nodes[2] || !nodes[3] || (echo && !nodes[4]))
            problem = "a constructor failed";
        const uint32_t operations = 2 + rng.below(12);
        for (uint32_t op = 0; op < operations && problem.empty(); ++op) {
            const uint32_t r = op == 0 ? 0 : rng.below(100);
            if (r < 15) {
                const uint32_t backwards = rng.chance(30) ? 1 : 0;
                const uint32_t position = randomPosition(rng, length);
                trace.note("restart", backwards, int32_t(position));
                const NodeTag tags[] = {
                    {TAG_BACKWARDS, backwards}, {TAG_POSITION, position}, {TAG_END, 0}};
                track.voiceChain.last()->reset();
                panDelay.reset();
                for (ProcessingNode *node = track.voiceChain.head; node; node = node->next)
                    node->setParameters(tags);
                for (reference::Node *node : theirVoice)
                    node->setParameters(tags);
                track.sounding = 1;
                theirSounding = 1;
            } else if (r < 45) {
                const uint32_t value =
                    rng.chance(70) ? uint32_t(rng.range(0x800, 0x60000)) : randomStep(rng);
                const uint32_t panning = uint32_t(int32_t(rng.range(-128, 128)));
                trace.note("step and panning", value, int32_t(panning));
                const NodeTag tags[] = {
                    {TAG_RESAMPLE_STEP, value}, {TAG_PANNING, panning}, {TAG_END, 0}};
                for (ProcessingNode *node = track.voiceChain.head; node; node = node->next)
                    node->setParameters(tags);
                for (reference::Node *node : theirVoice)
                    node->setParameters(tags);
                step = resampler.step;
                track.leftGain = randomGain(rng);
                track.rightGain = randomGain(rng);
                trace.note("gains", track.leftGain, track.rightGain);
            } else if (r < 55) {
                const std::vector<NodeTag> tags = randomEchoTags(rng, trace);
                for (ProcessingNode *node = track.outputChain.head; node; node = node->next)
                    node->setParameters(tags.data());
                echoNode.setParameters(tags.data());
            } else {
                const uint32_t n = affordable(pullSize(rng), step);
                trace.note("mix", n);
                const uint32_t soundingBefore = track.sounding;
                clearMix(&engine, n);
                for (uint32_t i = 0; i < 2 * n; ++i)
                    mixB[i] = 0;
                mixTrack(&engine, track, mixA.data(), n);
                reference::mixTrack(mixB.data(), scratchB.data(), theirLast, theirSounding,
                                    track.leftGain, track.rightGain, n);
                outA.assign(2 * size_t(n), 0x5555);
                outB.assign(2 * size_t(n), 0x2AAA);
                convertOutput(&engine, n, outA.data());
                reference::convertOutput(mixB.data(), n, engine.outputGain, engine.clipLevel,
                                         outB.data());
                if (soundingBefore != 0)
                    problem =
                        difference("track frames", scratchA.data(), scratchB.data(), 2 * size_t(n));
                if (problem.empty())
                    problem = differentValue("sounding", track.sounding, theirSounding);
                if (problem.empty())
                    problem = difference("accumulator", mixA.data(), mixB.data(), 2 * size_t(n));
                if (problem.empty())
                    problem = difference("output", outA, outB);
            }
        }
        freeChain(track.outputChain);
        freeChain(track.voiceChain);
        return problem;
    });
}
