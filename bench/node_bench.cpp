// The node kinds one by one, each fed by a node that copies a fixed table
// (so only the node under test does real work), in pulls of one tick (882
// frames at tempo 125), and the render loop's mixing and output conversion.
#include "base/host_services.h"
#include "engine/engine.h"
#include "engine/render.h"
#include "graph/node.h"
#include "graph/nodes.h"
#include "host/services.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr uint32_t TICK_FRAMES = 882;
constexpr uint32_t TABLE_FRAMES = 4096;

// Plays a fixed table of mono or stereo frames over and over.
class TableNode final : public dbm::ProcessingNode {
public:
    explicit TableNode(uint32_t channels) : ProcessingNode(dbm::NODE_SAMPLE_SOURCE), channels_(channels)
    {
        uint32_t state = 12345;
        for (uint32_t i = 0; i < TABLE_FRAMES * channels; ++i) {
            state = state * 1103515245u + 12345u;
            table_.push_back(int16_t(state >> 16));
        }
    }
    uint32_t pull(int16_t *buffer, uint32_t frames) override
    {
        size_t values = size_t(frames) * channels_;
        while (values > 0) {
            size_t piece = table_.size() - cursor_;
            if (piece > values)
                piece = values;
            std::memcpy(buffer, table_.data() + cursor_, piece * sizeof *buffer);
            buffer += piece;
            values -= piece;
            cursor_ = (cursor_ + piece) % table_.size();
        }
        return 1;
    }
    void destroy() override {}
    void setParameters(const dbm::NodeTag *) override {}
    uint32_t getAttribute(uint32_t, uint32_t *) override { return 0; }
    void reset() override {}

private:
    uint32_t channels_;
    std::vector<int16_t> table_;
    size_t cursor_ = 0;
};

void useHost()
{
    if (!dbm::pluginGlobals.host)
        dbm::pluginGlobals.host = kvhost::serviceRecord(10);
}

// A list of the table node and `node`; pulls `node` one tick per iteration.
void pullTicks(benchmark::State &state, dbm::ProcessingNode *node, uint32_t feedChannels,
               uint32_t outChannels)
{
    TableNode feed(feedChannels);
    dbm::NodeList list;
    list.append(&feed);
    list.append(node);
    std::vector<int16_t> out(outChannels * TICK_FRAMES);
    for (auto _ : state) {
        node->pull(out.data(), TICK_FRAMES);
        benchmark::DoNotOptimize(out.data());
    }
    list.unlink(node);
    list.unlink(&feed);
    node->destroy();
    state.counters["frames_per_s"] =
        benchmark::Counter(double(state.iterations()) * TICK_FRAMES, benchmark::Counter::kIsRate);
}

// Resampler at a step given in thousandths.
void resampler(benchmark::State &state)
{
    useHost();
    dbm::ProcessingNode *node = dbm::createResampler();
    const dbm::NodeTag tags[] = {
        {dbm::TAG_RESAMPLE_STEP, uint32_t(state.range(0) * 65536 / 1000)}, {dbm::TAG_END, 0}};
    node->setParameters(tags);
    pullTicks(state, node, 1, 1);
}
BENCHMARK(resampler)->Arg(500)->Arg(1000)->Arg(2700)->Arg(40000);

void panDelay(benchmark::State &state)
{
    useHost();
    static int16_t table[dbm::PAN_DELAY_ENTRIES];
    for (unsigned i = 0; i < dbm::PAN_DELAY_ENTRIES; ++i)
        table[i] = int16_t((i + 1) * (i + 1) * 14 / (128 * 128));
    dbm::ProcessingNode *node = dbm::createPanDelay(table);
    const dbm::NodeTag tags[] = {{dbm::TAG_PANNING, uint32_t(int32_t(state.range(0)))},
                                 {dbm::TAG_END, 0}};
    node->setParameters(tags);
    pullTicks(state, node, 1, 2);
}
BENCHMARK(panDelay)->Arg(0)->Arg(-100);

void echo(benchmark::State &state)
{
    useHost();
    pullTicks(state, dbm::createEcho(44100, dbm::ECHO_GLOBAL), 2, 2);
}
BENCHMARK(echo);

// mixTrack of one track fed by a stereo table, then the conversion of the
// accumulator, for one tick.
void mixTrack(benchmark::State &state)
{
    TableNode feed(2);
    std::vector<int16_t> scratch(2 * TICK_FRAMES);
    std::vector<int32_t> mix(2 * TICK_FRAMES);
    dbm::Engine engine{};
    engine.trackScratch = scratch.data();
    engine.mixBuffer = mix.data();
    dbm::TrackState track{};
    track.outputChain.append(&feed);
    track.leftGain = 11000;
    track.rightGain = 9000;
    for (auto _ : state) {
        track.sounding = 1;
        dbm::mixTrack(&engine, track, mix.data(), TICK_FRAMES);
        benchmark::DoNotOptimize(mix.data());
    }
    track.outputChain.unlink(&feed);
    state.counters["frames_per_s"] =
        benchmark::Counter(double(state.iterations()) * TICK_FRAMES, benchmark::Counter::kIsRate);
}
BENCHMARK(mixTrack);

void convertOutput(benchmark::State &state)
{
    std::vector<int32_t> mix(2 * TICK_FRAMES);
    uint32_t seed = 99;
    for (int32_t &v : mix) {
        seed = seed * 1103515245u + 12345u;
        v = int32_t(seed) >> 12;
    }
    dbm::Engine engine{};
    engine.mixBuffer = mix.data();
    engine.outputGain = 0x9000;
    engine.clipLevel = 0x7FFF * 0x10000 / 0x9000;
    std::vector<int16_t> out(2 * TICK_FRAMES);
    for (auto _ : state) {
        dbm::convertOutput(&engine, TICK_FRAMES, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(double(state.iterations()) * TICK_FRAMES, benchmark::Counter::kIsRate);
}
BENCHMARK(convertOutput);

} // namespace
