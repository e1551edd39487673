// Test helpers for the row, effect, tick, envelope and parameter tests:
// an engine assembled by hand around a small module held in the test, and a
// probe node that records the tags a voice chain receives.
#pragma once

#include "engine/engine.h"
#include "graph/node.h"
#include "module/module.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace effectstest {

// Records every tag list it is given; destroy does nothing (it lives in the test).
class ProbeNode : public dbm::ProcessingNode {
public:
    ProbeNode() : ProcessingNode(dbm::NODE_PAN_DELAY) {}
    ~ProbeNode() = default;

    uint32_t pull(int16_t *, uint32_t) override { return 1; }
    void destroy() override {}
    void setParameters(const dbm::NodeTag *tags) override
    {
        std::vector<dbm::NodeTag> list;
        for (; tags->id != dbm::TAG_END; ++tags)
            list.push_back(*tags);
        lists.push_back(list);
    }
    uint32_t getAttribute(uint32_t, uint32_t *) override { return 0; }
    void reset() override { ++resets; }

    // The value of the last tag `id` received; `missing` when none was.
    uint32_t last(uint32_t id, uint32_t missing = 0xDEADBEEF) const
    {
        for (auto list = lists.rbegin(); list != lists.rend(); ++list)
            for (auto tag = list->rbegin(); tag != list->rend(); ++tag)
                if (tag->id == id)
                    return tag->value;
        return missing;
    }

    std::vector<std::vector<dbm::NodeTag>> lists;
    int resets = 0;
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

} // namespace effectstest
