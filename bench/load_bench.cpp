// Load throughput: a module carrying 64 MB of stored sample data of one width,
// read by the reader from a memory file of our stand-in host (as from the
// page cache) and freed again.
#include "bench/modules.h"
#include "host/services.h"
#include "module/loader.h"
#include "plugin/host_services.h"

#include <benchmark/benchmark.h>

namespace {

constexpr uint32_t DATA_BYTES = 64u << 20;

void loadSamples(benchmark::State &state)
{
    const unsigned width = unsigned(state.range(0));
    if (!dbm::pluginGlobals.host)
        dbm::pluginGlobals.host = kvhost::serviceRecord(10);
    const std::string name = "load-" + std::to_string(width) + ".dbm";
    kvhost::addMemoryFile(name, benchmodules::sampleLoadModule(width, DATA_BYTES));
    for (auto _ : state) {
        dbm::Module *module = dbm::loadModule(name.c_str(), nullptr, nullptr, nullptr);
        if (!module) {
            state.SkipWithError("the module did not load");
            break;
        }
        dbm::freeModule(module);
    }
    kvhost::removeMemoryFile(name);
    state.SetBytesProcessed(int64_t(state.iterations()) * DATA_BYTES);
    state.counters["MB_per_s"] =
        benchmark::Counter(double(state.iterations()) * DATA_BYTES / 1e6, benchmark::Counter::kIsRate);
}

BENCHMARK(loadSamples)->Arg(8)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);

} // namespace
