// The node kinds against their literal references: sample source,
// resampler, pan delay and echo, each fed by a deterministic stream, with
// tags, resets and pulls of every size in between. Every output value and
// every pull result is compared; a mismatch names the case's seed and every
// operation that led to it.
#include "differential_support.h"

#include "graph/echo.h"
#include "graph/nodes.h"
#include "graph/sample_source.h"

using namespace dbm;
using namespace differential;

TEST(ReferenceSampleSource, FramesResultsAndPositionFollowTheStretchRules)
{
    // Frames, result and position follow the stretches for any loop, direction, tag, count.
    runCases(0x5A000000, 3000, [](uint64_t seed, Trace &trace) -> std::string {
        Rng rng(seed);
        const SampleSpec sample = randomSample(rng, seed, trace);
        const int32_t length = int32_t(sample.data.size());
        auto *ours = static_cast<SampleSourceNode *>(createSampleSource(
            sample.data.data(), sample.loopStart, sample.loopLength, length, sample.mode));
        if (!ours)
            return "createSampleSource failed";
        NodeList owner;
        owner.append(ours);
        reference::SampleSource theirs(sample.data.data(), sample.loopStart, sample.loopLength,
                                       length, sample.mode);
        std::vector<int16_t> a, b;
        std::string problem;
        const uint32_t operations = 1 + rng.below(8);
        for (uint32_t op = 0; op < operations && problem.empty(); ++op) {
            const uint32_t r = rng.below(100);
            if (r < 25) {
                std::vector<NodeTag> tags;
                const uint32_t count = 1 + rng.below(4);
                for (uint32_t t = 0; t < count; ++t) {
                    const uint32_t kind = rng.below(5);
                    NodeTag tag{};
                    if (kind < 2)
                        tag = {TAG_BACKWARDS, rng.pick({0u, 1u, 0x80000000u, 7u})};
                    else if (kind < 4)
                        tag = {TAG_POSITION, randomPosition(rng, length)};
                    else
                        tag = {rng.pick({3u, 7u, 10u, 1000u}), uint32_t(rng.next())};
                    tags.push_back(tag);
                    trace.note("tag", tag.id, int32_t(tag.value));
                }
                tags.push_back({TAG_END, 0});
                ours->setParameters(tags.data());
                theirs.setParameters(tags.data());
            } else if (r < 37) {
                const int32_t countA = int32_t(rng.below(4));
                const int32_t countB = int32_t(rng.below(4));
                trace.note("remaining", countA, countB);
                if (ours->eventA)
                    ours->eventA->remaining = countA;
                if (ours->eventB)
                    ours->eventB->remaining = countB;
                theirs.A.remaining = countA;
                theirs.B.remaining = countB;
            } else {
                const uint32_t n = pullSize(rng);
                trace.note("pull", n);
                a.assign(n, 0x5555);
                b.assign(n, 0x2AAA);
                const uint32_t resultA = ours->pull(a.data(), n);
                const uint32_t resultB = theirs.pull(b.data(), n);
                uint32_t position = 0xDEAD;
                ours->getAttribute(ATTR_POSITION, &position);
                problem = difference("frame", a, b);
                if (problem.empty())
                    problem = differentValue("result", resultA, resultB);
                if (problem.empty())
                    problem = differentValue("position", int32_t(position), theirs.position);
            }
            if (problem.empty())
                problem = differentValue("events armed",
                                         (ours->eventA != nullptr) + 2 * (ours->eventB != nullptr),
                                         theirs.hasA + 2 * theirs.hasB);
        }
        freeChain(owner);
        return problem;
    });
}

TEST(ReferenceResampler, FramesResultsAndSourcePullsFollowThePerFrameRules)
{
    // Frames, result and source pieces follow per-frame refill, slide, interpolation, step limit.
    runCases(0x5B000000, 2000, [](uint64_t seed, Trace &trace) -> std::string {
        Rng rng(seed);
        const Script script(seed, rng.below(4), 1,
                            rng.chance(30) ? rng.range(0, 20000) : UINT64_MAX);
        trace.note("stream ends after", int64_t(script.endAt));
        ScriptNode source(script);
        ScriptReference theirSource(script);
        NodeList list;
        list.append(&source);
        ProcessingNode *ours = createResampler();
        if (!ours)
            return "createResampler failed";
        list.append(ours);
        reference::Resampler theirs;
        theirs.input = &theirSource;
        uint32_t step = 0x10000;
        std::vector<int16_t> a, b;
        std::string problem;
        const uint32_t operations = 1 + rng.below(8);
        for (uint32_t op = 0; op < operations && problem.empty(); ++op) {
            const uint32_t r = rng.below(100);
            if (r < 30) {
                const uint32_t value = randomStep(rng);
                trace.note("step", value);
                const NodeTag tags[] = {{TAG_PANNING, 3}, {TAG_RESAMPLE_STEP, value}, {TAG_END, 0}};
                ours->setParameters(tags + (rng.chance(50) ? 1 : 0));
                theirs.setParameters(tags);
                step = theirs.step;
            } else if (r < 40) {
                trace.note("reset");
                ours->reset();
                theirs.reset();
            } else {
                const uint32_t n = affordable(pullSize(rng), step);
                trace.note("pull", n);
                a.assign(n, 0x5555);
                b.assign(n, 0x2AAA);
                const uint32_t resultA = ours->pull(a.data(), n);
                const uint32_t resultB = theirs.pull(b.data(), n);
                problem = difference("frame", a, b);
                if (problem.empty())
                    problem = differentValue("result", resultA, resultB);
            }
            if (problem.empty())
                problem =
                    difference("source pull sizes", source.script.pulls, theirSource.script.pulls);
            if (problem.empty())
                problem = differentValue("source resets", source.script.resets,
                                         theirSource.script.resets);
        }
        freeChain(list);
        return problem;
    });
}

TEST(ReferencePanDelay, StereoFramesFollowTheWindowRule)
{
    // Stereo frames, result and source pieces follow the window for any panning, table, reset.
    runCases(0x5C000000, 2000, [](uint64_t seed, Trace &trace) -> std::string {
        Rng rng(seed);
        int16_t table[128];
        // Growing tables as the engine builds them, or any delays within 0..64.
        const bool growing = rng.chance(50);
        const int32_t top = growing ? int32_t(rng.pick({14, 63, 64, 3})) : 0;
        for (int i = 0; i < 128; ++i)
            table[i] = int16_t(growing          ? top * (i + 1) * (i + 1) / (128 * 128)
                               : rng.chance(30) ? rng.pick({0, 1, 63, 64})
                                                : rng.range(0, 64));
        trace.note("table", growing, growing ? top : table[127]);
        const Script script(seed, rng.below(4), 1,
                            rng.chance(30) ? rng.range(0, 20000) : UINT64_MAX);
        ScriptNode source(script);
        ScriptReference theirSource(script);
        NodeList list;
        list.append(&source);
        ProcessingNode *ours = createPanDelay(table);
        if (!ours)
            return "createPanDelay failed";
        list.append(ours);
        reference::PanDelay theirs(table);
        theirs.input = &theirSource;
        std::vector<int16_t> a, b;
        std::string problem;
        const uint32_t operations = 1 + rng.below(8);
        for (uint32_t op = 0; op < operations && problem.empty(); ++op) {
            const uint32_t r = rng.below(100);
            if (r < 30) {
                const uint32_t first = randomPanning(rng);
                const uint32_t second = randomPanning(rng);
                const bool both = rng.chance(20);
                if (both)
                    trace.note("pannings", int32_t(first), int32_t(second));
                else
                    trace.note("panning", int32_t(first));
                const NodeTag tags[] = {{TAG_PANNING, first},
                                        {TAG_RESAMPLE_STEP, 7},
                                        {both ? TAG_PANNING : TAG_END, second},
                                        {TAG_END, 0}};
                ours->setParameters(tags);
                theirs.setParameters(tags);
            } else if (r < 40) {
                trace.note("reset");
                ours->reset();
                theirs.reset();
            } else {
                const uint32_t n = pullSize(rng);
                trace.note("pull", n);
                a.assign(2 * size_t(n), 0x5555);
                b.assign(2 * size_t(n), 0x2AAA);
                const uint32_t resultA = ours->pull(a.data(), n);
                const uint32_t resultB = theirs.pull(b.data(), n);
                problem = difference("stereo", a, b);
                if (problem.empty())
                    problem = differentValue("result", resultA, resultB);
            }
            if (problem.empty())
                problem =
                    difference("source pull sizes", source.script.pulls, theirSource.script.pulls);
            if (problem.empty())
                problem = differentValue("source resets", source.script.resets,
                                         theirSource.script.resets);
        }
        freeChain(list);
        return problem;
    });
}

TEST(ReferenceEcho, StereoFramesFollowTheBlockAndDelayLineRules)
{
    // Stereo frames follow 16-frame blocks and the per-frame delay line at any rate and setting.
    runCases(0x5D000000, 1000, [](uint64_t seed, Trace &trace) -> std::string {
        Rng rng(seed);
        const uint32_t rate = rng.chance(80) ? rng.pick({8000u, 8000u, 44100u, 192000u})
                                             : uint32_t(rng.range(8000, 192000));
        trace.note("rate", rate);
        const Script script(seed, rng.below(4), 2);
        ScriptNode source(script);
        ScriptReference theirSource(script);
        NodeList list;
        list.append(&source);
        auto *ours = static_cast<EchoNode *>(createEcho(rate, ECHO_TRACK));
        if (!ours)
            return "createEcho failed";
        list.append(ours);
        reference::Echo theirs(rate);
        theirs.input = &theirSource;
        std::vector<int16_t> a, b;
        std::string problem =
            differentValue("line length", ours->bufferFrames, theirs.bufferFrames);
        const uint32_t operations = 1 + rng.below(8);
        for (uint32_t op = 0; op < operations && problem.empty(); ++op) {
            const uint32_t r = rng.below(100);
            if (r < 30) {
                const std::vector<NodeTag> tags = randomEchoTags(rng, trace);
                ours->setParameters(tags.data());
                theirs.setParameters(tags.data());
                problem = differentValue("delay", ours->delayFrames, theirs.delayFrames);
            } else if (r < 35) {
                trace.note("reset");
                ours->reset();
                theirs.reset();
            } else {
                // A whole line's worth now and then, so that the indices wrap.
                const bool whole = rate <= 44100 && rng.chance(rate == 8000 ? 15 : 3);
                const uint32_t n =
                    whole ? uint32_t(theirs.bufferFrames + rng.range(-20, 20)) : pullSize(rng);
                trace.note("pull", n);
                a.assign(2 * size_t(n), 0x5555);
                b.assign(2 * size_t(n), 0x2AAA);
                const uint32_t resultA = ours->pull(a.data(), n);
                const uint32_t resultB = theirs.pull(b.data(), n);
                problem = difference("stereo", a, b);
                if (problem.empty())
                    problem = differentValue("result", resultA, resultB);
            }
        }
        if (problem.empty() && rate <= 44100)
            problem =
                difference("delay line", ours->buffer, theirs.buffer.data(), theirs.buffer.size());
        freeChain(list);
        return problem;
    });
}
