// Render throughput: one stream, one thread, requests of 4096 frames, for
// each benchmark module. Each module plays its first 60 seconds over and over
// (the stream is opened again, untimed, after every 60 seconds).
#include "bench/modules.h"
#include "bench/stream_player.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr uint32_t RATE = 44100;
constexpr uint32_t REQUEST_FRAMES = 4096;
constexpr uint32_t PLAYED_FRAMES = 60 * RATE;

void renderModule(benchmark::State &state, size_t index)
{
    const benchmodules::NamedModule module = benchmodules::renderModules()[index];
    const std::string name = "bench-" + module.name + ".dbm";
    auto player = std::make_unique<benchmodules::StreamPlayer>(name, module.bytes);
    if (!player->ok()) {
        state.SkipWithError("the module did not open");
        return;
    }
    std::vector<int16_t> buffer(2 * REQUEST_FRAMES);
    uint32_t played = 0;
    uint64_t frames = 0;
    for (auto _ : state) {
        frames += player->request(buffer.data(), REQUEST_FRAMES);
        benchmark::DoNotOptimize(buffer.data());
        played += REQUEST_FRAMES;
        if (played >= PLAYED_FRAMES) {
            state.PauseTiming();
            player.reset();
            player = std::make_unique<benchmodules::StreamPlayer>(name, module.bytes);
            played = 0;
            state.ResumeTiming();
        }
    }
    state.counters["frames_per_s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
    state.counters["x_realtime"] =
        benchmark::Counter(double(frames) / RATE, benchmark::Counter::kIsRate);
    state.counters["track_frames_per_s"] =
        benchmark::Counter(double(frames) * module.tracks, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(renderModule, dense4, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderModule, dense16, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderModule, dense64, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderModule, dense64echo, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderModule, demo, 4)->Unit(benchmark::kMillisecond);

} // namespace
