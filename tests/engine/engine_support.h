// For the engine tests: a module written with our module writer and played
// through a real engine at 44100 Hz, tick by tick or rendered, and the
// per-tick trace tables the rules are written in.
#pragma once

#include "engine/engine.h"
#include "engine/lifecycle.h"
#include "engine/render.h"
#include "engine/sequencer.h"
#include "tests/support/host.h"
#include "tests/support/load.h"
#include "tests/support/modules.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace enginetest {

using namespace testsupport;
constexpr int S = 6; // the speed every song starts at

// `tracks` tracks, one 64-row pattern played once holding `cells`, one
// instrument (volume 64, panning 0, base rate 44100) on a 4000-frame sample
// without loop holding 8000.
inline ModuleSpec songWith(std::initializer_list<Put> cells = {}, uint16_t tracks = 4)
{
    ModuleSpec desc = modwriter::minimalModule(tracks);
    desc.patterns.assign(1, pattern(64, tracks, cells));
    desc.instruments[0].baseRate = 44100;
    desc.instruments[0].flags = 0;
    desc.instruments[0].loopLength = 0;
    desc.samples[0].frames.assign(4000, 8000);
    return desc;
}

class Player {
public:
    explicit Player(const ModuleSpec &desc, uint32_t maxFrames = 4096) : module(loadSpec(desc)), out(2 * size_t(maxFrames))
    {
        engine = module ? dbm::createEngine(module.get(), 44100, maxFrames) : nullptr;
    }
    ~Player() { dbm::destroyEngine(engine); }
    Player(const Player &) = delete;
    Player &operator=(const Player &) = delete;

    // Ticks of state only: nothing is rendered, so no voice is pulled.
    uint32_t tick() { return dbm::runTick(engine); }
    void ticks(int count)
    {
        for (int i = 0; i < count; ++i)
            tick();
    }
    dbm::TrackState &track(unsigned t) { return engine->tracks[t]; }

    ModuleHandle module;
    dbm::Engine *engine = nullptr;
    std::vector<int16_t> out;
};

// The fixture of every engine test: the host installed, nothing left behind.
using EngineTest = HostTest;

// What a trace reads from the player after a tick.
using Reader = int (*)(Player &);

// One rule: the cells (and other changes to songWith's module) that exercise
// it, the ticks played first, and the values read after every `stride`-th
// tick from then on.
struct Rule {
    const char *rule;
    std::initializer_list<Put> cells;
    Reader read;
    std::vector<int> expected;
    int skip = 0, stride = 1;
    void (*change)(ModuleSpec &) = nullptr;
};

inline void expectRules(std::initializer_list<Rule> rules)
{
    for (const Rule &r : rules) {
        SCOPED_TRACE(r.rule);
        ModuleSpec desc = songWith(r.cells);
        if (r.change)
            r.change(desc);
        Player player(desc);
        ASSERT_NE(player.engine, nullptr);
        player.ticks(r.skip);
        std::vector<int> values;
        for (size_t i = 0; i < r.expected.size(); ++i) {
            player.ticks(i ? r.stride : 1);
            values.push_back(r.read(player));
        }
        EXPECT_EQ(values, r.expected);
    }
}

} // namespace enginetest
