// Load throughput: a module carrying 64 MB of stored sample data of one width,
// read by the reader from a memory file of our stand-in host (as from the
// page cache) and freed again.
//
// Our stand-in host allocates with calloc, so by default every load of a
// large sample gets fresh pages from the kernel, and page faults and page
// clearing take about half the time. The "reused" variants keep freed memory
// in the process (as a host's own memory pool would), which leaves the
// reader's own work plus the zero-filling of the blocks.
#include "base/host_services.h"
#include "bench/modules.h"
#include "host/services.h"
#include "module/loader.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

namespace {

constexpr uint32_t DATA_BYTES = 64u << 20;

void loadSamples(benchmark::State &state)
{
    const unsigned width = unsigned(state.range(0));
    const bool reused = state.range(1) != 0;
    if (reused) {
        mallopt(M_MMAP_THRESHOLD, 1 << 30);
        mallopt(M_TRIM_THRESHOLD, 1 << 30);
    }
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
    if (reused) {
        mallopt(M_MMAP_THRESHOLD, 128 * 1024);
        mallopt(M_TRIM_THRESHOLD, 128 * 1024);
    }
}

BENCHMARK(loadSamples)
    ->ArgNames({"bits", "reused"})
    ->ArgsProduct({{8, 16, 32}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

} // namespace
