// Test helpers for the engine tests:
// - HostTest: a fixture on our stand-in host that checks no block is left over;
// - TestModule: a module held in test memory (no reader), for the sequencer;
// - HandEngine and ProbeNode: an engine assembled by hand around a small
//   module, whose voice chains record the tags they receive;
// - songWith and Player: a module written by our module writer, played
//   through a real engine at 44100 Hz tick by tick.
#pragma once

#include "base/host_services.h"
#include "engine/engine.h"
#include "engine/lifecycle.h"
#include "engine/render.h"
#include "engine/sequencer.h"
#include "graph/node.h"
#include "host/services.h"
#include "module/module.h"
#include "tests/support/load.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <vector>

namespace enginetest {

inline void useHost()
{
    dbm::pluginGlobals.host = kvhost::serviceRecord(10);
}

// Every test ends with as many blocks outstanding as it started with.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        useHost();
        kvhost::resetHostControls();
        before = kvhost::outstandingBlocks();
    }
    void TearDown() override
    {
        kvhost::resetHostControls();
        EXPECT_EQ(kvhost::outstandingBlocks(), before);
    }
    size_t before = 0;
};

// A module of `tracks` tracks whose songs and patterns are given as order
// lists and row counts; cells start empty. Pointers are rebuilt by module().
class TestModule {
public:
    TestModule(uint16_t tracks, std::vector<std::vector<uint16_t>> songs, std::vector<uint16_t> patternRows)
        : tracks_(tracks), orders_(std::move(songs)), rows_(std::move(patternRows))
    {
        for (uint16_t rows : rows_)
            cells_.emplace_back(size_t(rows) * tracks);
        flags_.assign(tracks, 0);
    }

    void effect(unsigned pattern, unsigned row, unsigned track, uint8_t effect, uint8_t param)
    {
        cell(pattern, row, track).effect1 = effect;
        cell(pattern, row, track).param1 = param;
    }
    void effect2(unsigned pattern, unsigned row, unsigned track, uint8_t effect, uint8_t param)
    {
        cell(pattern, row, track).effect2 = effect;
        cell(pattern, row, track).param2 = param;
    }
    void echoFlag(unsigned track) { flags_.at(track) = dbm::TRACK_FLAG_ECHO; }

    const dbm::Module *module()
    {
        songRecords_.clear();
        songPointers_.clear();
        for (auto &orders : orders_)
            songRecords_.push_back({nullptr, uint16_t(orders.size()), orders.empty() ? nullptr : orders.data()});
        for (auto &song : songRecords_)
            songPointers_.push_back(&song);
        patternRecords_.clear();
        patternPointers_.clear();
        for (size_t i = 0; i < cells_.size(); ++i)
            patternRecords_.push_back({rows_[i], cells_[i].data()});
        for (auto &pattern : patternRecords_)
            patternPointers_.push_back(&pattern);
        module_ = dbm::Module{};
        module_.trackCount = tracks_;
        module_.songCount = uint16_t(orders_.size());
        module_.songs = songPointers_.empty() ? nullptr : songPointers_.data();
        module_.patternCount = uint16_t(cells_.size());
        module_.patterns = patternPointers_.empty() ? nullptr : patternPointers_.data();
        module_.trackFlags = flags_.data();
        module_.echoDelay = 64;
        module_.echoFeedback = 128;
        module_.echoMix = 100;
        module_.echoCross = 255;
        return &module_;
    }

private:
    dbm::PatternEntry &cell(unsigned pattern, unsigned row, unsigned track)
    {
        return cells_.at(pattern).at(size_t(row) * tracks_ + track);
    }

    uint16_t tracks_;
    std::vector<std::vector<uint16_t>> orders_;
    std::vector<uint16_t> rows_;
    std::vector<std::vector<dbm::PatternEntry>> cells_;
    std::vector<uint32_t> flags_;
    std::deque<dbm::Song> songRecords_;
    std::vector<dbm::Song *> songPointers_;
    std::deque<dbm::Pattern> patternRecords_;
    std::vector<dbm::Pattern *> patternPointers_;
    dbm::Module module_{};
};

// Records every tag list it is given; destroy does nothing (it lives in the test).
class ProbeNode : public dbm::ProcessingNode {
public:
    ProbeNode() : ProcessingNode(dbm::NODE_PAN_DELAY) {}

    uint32_t pull(int16_t *, uint32_t) override { return 1; }
    void destroy() override {}
    void setParameters(const dbm::NodeTag *tags) override
    {
        for (; tags->id != dbm::TAG_END; ++tags)
            tags_.push_back(*tags);
    }
    uint32_t getAttribute(uint32_t, uint32_t *) override { return 0; }
    void reset() override {}

    // The value of the last tag `id` received; `missing` when none was.
    uint32_t last(uint32_t id, uint32_t missing = 0xDEADBEEF) const
    {
        for (auto tag = tags_.rbegin(); tag != tags_.rend(); ++tag)
            if (tag->id == id)
                return tag->value;
        return missing;
    }

private:
    std::vector<dbm::NodeTag> tags_;
};

// One module with `tracks` tracks and one sample instrument (base rate
// 44100), an engine at 44100 Hz at speed 6 with the limits of a row start at
// that speed. Tracks start as the track reset leaves them, without chains.
struct HandEngine {
    explicit HandEngine(uint16_t trackCount = 4) : tracks(trackCount)
    {
        instrument.volume = 64;
        instrument.type = dbm::INSTRUMENT_TYPE_SAMPLE;
        instrument.volumeEnvelope = dbm::INDEX_NONE;
        instrument.panningEnvelope = dbm::INDEX_NONE;
        instrument.baseRate = 44100;
        instrumentSlots[0] = &instrument;
        module.instrumentCount = 1;
        module.instruments = instrumentSlots;
        module.trackCount = trackCount;
        for (dbm::TrackState &track : tracks) {
            track.portamentoTarget = 576;
            track.triggerCountdown = 0x7FFFFFFF;
            track.cutCountdown = 0x7FFFFFFF;
            track.volumeEnvelopeState.envelope = dbm::INDEX_NONE;
            track.panningEnvelopeState.envelope = dbm::INDEX_NONE;
        }
        engine.module = &module;
        engine.tracks = tracks.data();
        engine.sampleRate = 44100;
        engine.globalVolume = 64;
        setSpeed(6);
    }

    void setSpeed(int32_t speed)
    {
        engine.speed = speed;
        engine.volumeMin = 0;
        engine.volumeMax = static_cast<int16_t>(64 * speed);
        engine.panMin = static_cast<int16_t>(-128 * speed);
        engine.panMax = static_cast<int16_t>(128 * speed);
        engine.pitchMin = static_cast<int16_t>(96 * speed);
        engine.pitchMax = static_cast<int16_t>(864 * speed);
    }

    // Gives track t the probe as its voice chain and instrument 1.
    ProbeNode &attachProbe(unsigned t)
    {
        probes.emplace_back();
        tracks[t].voiceChain.append(&probes.back());
        tracks[t].currentInstrument = 1;
        return probes.back();
    }

    dbm::Instrument instrument{};
    dbm::Instrument *instrumentSlots[1] = {};
    dbm::Module module{};
    std::vector<dbm::TrackState> tracks;
    dbm::Engine engine{};

private:
    std::deque<ProbeNode> probes; // stable addresses
};

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

// The cell of (row, track) in pattern `pattern`.
inline modwriter::Cell &cell(modwriter::ModuleSpec &desc, unsigned row, unsigned track, unsigned pattern = 0)
{
    return desc.patterns[pattern].at(row, track, desc.tracks);
}

struct Put {
    unsigned row, track;
    modwriter::Cell cell;
};

// A module with `tracks` tracks, one 64-row pattern played once holding
// `cells`, one instrument (volume 64, panning 0, base rate 44100) on a
// 4000-frame sample without loop holding a constant 8000.
inline modwriter::ModuleSpec songWith(const std::vector<Put> &cells = {}, uint16_t tracks = 4)
{
    modwriter::ModuleSpec desc = modwriter::minimalModule(tracks);
    desc.patterns.assign(1, modwriter::PatternSpec{});
    desc.instruments[0].baseRate = 44100;
    desc.instruments[0].flags = 0;
    desc.instruments[0].loopStart = 0;
    desc.instruments[0].loopLength = 0;
    desc.samples[0].width = 16;
    desc.samples[0].frames.assign(4000, 8000);
    for (const Put &put : cells)
        cell(desc, put.row, put.track) = put.cell;
    return desc;
}

class Player {
public:
    explicit Player(const modwriter::ModuleSpec &desc, uint32_t maxFrames = 4096)
    {
        testsupport::ensureHost();
        module_.reset(testsupport::loadSpec(desc));
        if (module_)
            engine = dbm::createEngine(module_.get(), 44100, maxFrames);
        scratch_.resize(2 * size_t{maxFrames});
    }
    ~Player() { dbm::destroyEngine(engine); }
    Player(const Player &) = delete;
    Player &operator=(const Player &) = delete;

    bool ready() const { return engine != nullptr; }

    // Ticks of state only: nothing is rendered, so no voice is pulled.
    uint32_t tick() { return dbm::runTick(engine); }
    void ticks(int count)
    {
        for (int i = 0; i < count; ++i)
            tick();
    }

    // `read()` after each of the next `count` ticks.
    template <class Read> std::vector<int> trace(int count, Read read)
    {
        std::vector<int> values;
        for (int i = 0; i < count; ++i) {
            tick();
            values.push_back(int(read(*this)));
        }
        return values;
    }

    // One tick and its frames rendered (interleaved stereo).
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

// Moves track t's sample source to `position`, so a restart shows as 0.
inline void moveSource(dbm::TrackState &track, uint32_t position)
{
    const dbm::NodeTag tags[] = {{dbm::TAG_POSITION, position}, {dbm::TAG_END, 0}};
    track.voiceChain.head->setParameters(tags);
}

inline uint32_t sourcePosition(dbm::TrackState &track)
{
    uint32_t position = 0xFFFFFFFF;
    track.voiceChain.head->getAttribute(dbm::ATTR_POSITION, &position);
    return position;
}

} // namespace enginetest
