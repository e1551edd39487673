// A loop event fires at most 2147483647 times. A one-frame loop at the
// highest pitch uses that count up in under six minutes of playing; the
// voice must then play on through the rest of its sample and end, neither
// hanging nor reading outside the sample.
#include "engine/lifecycle.h"
#include "engine/render.h"
#include "tests/hardening/hardening_modules.h"
#include "tests/support/load.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace hardening;

constexpr uint32_t SAMPLE_FRAMES = 64;

// One track plays a 64-frame sample looping over its first frame only, at
// octave 9 (the highest pitch) from an instrument at 192000 Hz.
ModuleSpec shortestLoopAtTheTop()
{
    ModuleSpec desc;
    desc.name = "Shortest loop";
    desc.tracks = 2;
    desc.samples.push_back({16, std::vector<int32_t>(SAMPLE_FRAMES, 20000)});
    desc.instruments.push_back({"One frame", 1, 64, 192000, 0, 1, 0, 1});
    modwriter::PatternSpec pattern;
    pattern.rows = 1;
    pattern.at(0, 0, 2) = note(9, 0, 1);
    desc.patterns.push_back(pattern);
    desc.songs.push_back({"Top", {0}});
    return desc;
}

// Once the loop's firing count is used up the voice reaches the sample's end
// and falls silent.
TEST(LoopFiringCount, ShortestLoopPlaysOnToTheEndWhenItsCountIsUsedUp)
{
    testsupport::ensureHost();
    testsupport::ModuleHandle module(testsupport::loadSpec(shortestLoopAtTheTop()));
    ASSERT_NE(module, nullptr);
    dbm::Engine *engine = dbm::createEngine(module.get(), 44100, 44100);
    ASSERT_NE(engine, nullptr);
    std::vector<int16_t> out(2 * 44100);
    uint64_t frames = dbm::renderFrames(engine, 44100, out.data());
    dbm::ProcessingNode *source = engine->tracks[0].voiceChain.head;
    ASSERT_NE(source, nullptr);
    ASSERT_EQ(source->kind, static_cast<uint32_t>(dbm::NODE_SAMPLE_SOURCE));

    // About 139 firings per frame: the count lasts some 15.4 million frames.
    // Twenty million frames is the bound; the voice must have ended by then.
    while (engine->tracks[0].sounding && frames < 20000000) // the stopped song renders a row a call
        frames += dbm::renderFrames(engine, 44100, out.data());
    uint32_t position = 0;
    ASSERT_EQ(source->getAttribute(dbm::ATTR_POSITION, &position), 1u);
    EXPECT_EQ(position, SAMPLE_FRAMES);
    EXPECT_EQ(engine->tracks[0].sounding, 0u);
    EXPECT_GT(frames, 15000000u); // it was the count that ended the loop
    dbm::destroyEngine(engine);
}

} // namespace
