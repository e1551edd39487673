// Modules that push every limit play without a fault the sanitizers can see,
// without leaks, and with the work per frame bounded: no resampler steps
// further than 1008 source frames per output frame, the most its buffer
// allows, and the extreme notes reach exactly that ceiling.
#include "engine/lifecycle.h"
#include "engine/render.h"
#include "graph/resampler.h"
#include "tests/support/load.h"
#include "tests/support/modules.h"

#include <algorithm>
#include <map>

namespace {

using namespace testsupport;

class HostilePlaying : public HostTest {
protected:
    // Loads `desc`, moves to `row` of order 0 and renders `frames` frames in
    // pieces of varied size; checks that it sounds; the largest step seen.
    uint32_t play(const ModuleSpec &desc, uint32_t frames, const std::string &what, int32_t row = 0)
    {
        ModuleHandle module(loadSpec(desc));
        dbm::Engine *engine = module ? dbm::createEngine(module.get(), 44100, 44100) : nullptr;
        EXPECT_NE(engine, nullptr) << what;
        if (!engine)
            return 0;
        dbm::setOutputLevel(engine, 16);
        if (row != 0)
            dbm::setPosition(engine, 0, 0, row);
        std::vector<int16_t> out(2 * 44100);
        const uint32_t pieces[] = {4410, 1, 44100, 777, 20000};
        uint32_t largest = 0;
        bool sounded = false;
        for (uint32_t done = 0, i = 0; done < frames; ++i) {
            const uint32_t wanted = std::min(pieces[i % 5], frames - done);
            const uint32_t n = dbm::renderFrames(engine, wanted, out.data());
            EXPECT_LE(n, wanted) << what;
            sounded |= std::any_of(out.begin(), out.begin() + 2 * n, [](int16_t s) { return s != 0; });
            for (uint32_t t = 0; t < engine->module->trackCount; ++t)
                for (dbm::ProcessingNode *node = engine->tracks[t].voiceChain.head; node; node = node->next)
                    if (node->kind == dbm::NODE_RESAMPLER)
                        largest = std::max(largest, static_cast<dbm::ResamplerNode *>(node)->step);
            done += n != 0 ? n : wanted; // a stopped song renders a row at a time
        }
        EXPECT_LE(largest, 1008u << 16) << what;
        EXPECT_TRUE(sounded) << what;
        dbm::destroyEngine(engine);
        return largest;
    }
};

// Every effect command with every parameter 0..255, in either column (256
// rows of 3 ticks at tempo 255 are about 332000 frames), then the hostile
// modules, each long enough to reach what it pushes: every row of the
// extreme notes, both passes over the strange envelopes, a row of 254
// tracks, the longest pattern from its last rows over the turn to the next
// order, three seconds of each timing.
TEST_F(HostilePlaying, EveryEffectWithEveryParameterAndEveryHostileModule)
{
    for (unsigned effect = 0; effect < EFFECT_COUNT; ++effect)
        for (unsigned column : {1u, 2u})
            play(effectSweep(uint8_t(effect), column), 340000, "effect " + std::to_string(effect) + " column " + std::to_string(column));
    const std::map<std::string, uint32_t> frames = {{"extreme-notes", 72 * 882 + 44100}, {"out-of-range", 24 * 6 * 882},
                                                    {"strange-envelopes", 2 * 32 * 6 * 882}, {"many-tracks", 4 * 6 * 882},
                                                    {"longest-pattern", 8 * 6 * 882}};
    for (const NamedModule &m : hostileModules()) {
        const uint32_t largest = play(m.desc, frames.count(m.name) ? frames.at(m.name) : 3 * 44100, m.name,
                                      m.name == "longest-pattern" ? 65530 : 0);
        EXPECT_TRUE(m.name != "extreme-notes" || largest == 1008u << 16) << largest; // reached, not passed
    }
}

} // namespace
