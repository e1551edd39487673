// Test helper: plays a module written by our module writer through a real
// engine at 44100 Hz, tick by tick, so tests can read the track and engine
// state after each tick.
#pragma once

#include "engine/engine.h"
#include "engine/lifecycle.h"
#include "engine/render.h"
#include "engine/sequencer.h"
#include "tests/support/load.h"

#include <gtest/gtest.h>

#include <vector>

namespace effectstest {

// A module with `tracks` tracks, one 64-row pattern of empty cells played
// once, one instrument (volume 64, panning 0, base rate 44100) on a
// 4000-frame sample without loop holding a constant 8000.
inline modwriter::ModuleSpec songSpec(uint16_t tracks = 4, uint16_t rows = 64)
{
    modwriter::ModuleSpec spec = modwriter::minimalModule(tracks);
    spec.patterns.assign(1, modwriter::PatternSpec{});
    spec.patterns[0].rows = rows;
    spec.instruments[0].baseRate = 44100;
    spec.instruments[0].flags = 0;
    spec.instruments[0].loopStart = 0;
    spec.instruments[0].loopLength = 0;
    spec.samples[0].width = 16;
    spec.samples[0].frames.assign(4000, 8000);
    return spec;
}

// The cell of (row, track) in pattern `pattern`.
inline modwriter::Cell &cell(modwriter::ModuleSpec &spec, unsigned row, unsigned track, unsigned pattern = 0)
{
    return spec.patterns[pattern].at(row, track, spec.tracks);
}

// A note cell: octave and semitone, instrument (0 none), two effect columns.
inline modwriter::Cell note(uint8_t octave, uint8_t semitone, uint8_t instrument = 1, uint8_t effect1 = 0,
                            uint8_t param1 = 0, uint8_t effect2 = 0, uint8_t param2 = 0)
{
    return modwriter::Cell{semitone, octave, instrument, effect1, param1, effect2, param2};
}

// Effects only.
inline modwriter::Cell effects(uint8_t effect1, uint8_t param1, uint8_t effect2 = 0, uint8_t param2 = 0)
{
    return modwriter::Cell{0, 0, 0, effect1, param1, effect2, param2};
}

class Player {
public:
    explicit Player(const modwriter::ModuleSpec &spec, uint32_t maxFrames = 4096)
    {
        testsupport::ensureHost();
        module_.reset(testsupport::loadSpec(spec));
        if (module_)
            engine = dbm::createEngine(module_.get(), 44100, maxFrames);
        scratch_.resize(2 * size_t{maxFrames});
    }
    ~Player() { dbm::destroyEngine(engine); }
    Player(const Player &) = delete;
    Player &operator=(const Player &) = delete;

    bool ready() const { return engine != nullptr; }

    // One tick of state only: nothing is rendered, so no voice is pulled.
    uint32_t tick() { return dbm::runTick(engine); }
    void ticks(int count)
    {
        for (int i = 0; i < count; ++i)
            tick();
    }

    // One tick and its frames rendered into frames() (interleaved stereo).
    const std::vector<int16_t> &playTick()
    {
        rendered_.clear();
        append(dbm::renderFrames(engine, 1, scratch_.data()));
        if (engine->framesLeftInTick > 0)
            append(dbm::renderFrames(engine, engine->framesLeftInTick, scratch_.data()));
        return rendered_;
    }

    dbm::TrackState &track(unsigned t) { return engine->tracks[t]; }
    const dbm::Module *module() const { return module_.get(); }

    dbm::Engine *engine = nullptr;

private:
    void append(uint32_t frames)
    {
        rendered_.insert(rendered_.end(), scratch_.begin(), scratch_.begin() + 2 * frames);
    }

    testsupport::ModuleHandle module_;
    std::vector<int16_t> scratch_;
    std::vector<int16_t> rendered_;
};

} // namespace effectstest
