// Test helpers for the engine lifecycle, render loop, sequencer and duration
// tests: a module held in test memory (no reader involved) and a node that
// produces a constant stereo frame and counts its pulls.
#pragma once

#include "engine/engine.h"
#include "graph/node.h"
#include "host/services.h"
#include "module/module.h"
#include "plugin/host_services.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace enginetest {

inline void useHost()
{
    dbm::pluginGlobals.host = kvhost::serviceRecord(10);
}

// A module of `tracks` tracks whose songs and patterns are given as order
// lists and row counts; cells start empty. Pointers are rebuilt by module().
class TestModule {
public:
    TestModule(uint16_t tracks, std::vector<std::vector<uint16_t>> songs, std::vector<uint16_t> patternRows)
        : tracks_(tracks), orders_(std::move(songs))
    {
        for (uint16_t rows : patternRows)
            cells_.emplace_back(size_t(rows) * tracks);
        rows_ = std::move(patternRows);
        flags_.assign(tracks, 0);
    }

    dbm::PatternEntry &cell(unsigned pattern, unsigned row, unsigned track)
    {
        return cells_.at(pattern).at(size_t(row) * tracks_ + track);
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

// Produces `left`/`right` in every frame and records the size of each pull.
// Lives in the test: destroy does nothing.
class ConstantNode : public dbm::ProcessingNode {
public:
    ConstantNode(int16_t l, int16_t r) : ProcessingNode(dbm::NODE_TRACK_OUTPUT), left(l), right(r) {}
    ~ConstantNode() = default;

    uint32_t pull(int16_t *buffer, uint32_t frames) override
    {
        pulls.push_back(frames);
        for (uint32_t i = 0; i < frames; ++i) {
            buffer[2 * i] = left;
            buffer[2 * i + 1] = right;
        }
        return result;
    }
    void destroy() override {}
    void setParameters(const dbm::NodeTag *) override {}
    uint32_t getAttribute(uint32_t, uint32_t *) override { return 0; }
    void reset() override {}

    int16_t left, right;
    uint32_t result = 1;
    std::vector<uint32_t> pulls;
};

} // namespace enginetest
