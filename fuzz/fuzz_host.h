// What every fuzz target shares: our host's services with a memory budget,
// the input served as an in-memory file, the check after each input that the
// core gave back every block, file and tag object (a leak aborts, so the
// fuzzer reports it with its input), and the layout of the control bytes the
// play and stream targets read in front of the module (make_seeds writes the
// same layout).
//
// The budget: a file of a few bytes may declare samples of 2^31 frames or
// thousands of 65535-row patterns, and the reader asks for that much before
// it finds the file shorter. A real host refuses such blocks; ours would give
// them, and the fuzzer would spend its time zero-filling gigabytes. So the
// fuzz host sets our host's memory budget to 256 MiB, as a host short of
// memory refuses what would take it past that.
//
// Play input: 9 bytes, then the module. Byte 0: the rate, PLAY_RATES[byte % 6];
//   byte 1: the largest render, PLAY_MAX_FRAMES[byte % 4]; byte 2: the output
//   level, a signed byte; bytes 3..8: three big-endian 16-bit request sizes,
//   used in turn: 0xFFFF asks one frame more than the largest render (which
//   renders nothing), any other v asks 1 + v % largest render.
// Stream input: 1 + n bytes, then the module. Byte 0: bits 0-4 the number n
//   of operations, bit 7 set: open with an adapter name and user tags. Then n
//   operations, in order: 0x00..0xBF pull STREAM_PULLS[op % 16] frames (0
//   included; a pull beyond the budget is skipped), 0xC0..0xDF rewind,
//   0xE0..0xEF seek to frame 1 + (op & 15), which does nothing, 0xF0..0xFF
//   close the stream and open the file again.
// Both render at most TRACK_FRAME_BUDGET / trackCount frames per input: two
// seconds of two tracks. A voice on a one-frame loop at the highest pitch
// reads 1008 source frames a frame, each a stretch of its own; with the
// fuzzer's comparison tracing that is about 0.3 ms per frame and track, so
// this keeps the worst input near half a minute, inside fuzz-run's limit.
#pragma once

#include "base/host_services.h"
#include "host/memory_budget.h"
#include "host/services.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace fuzzhost {

constexpr const char *FILE_NAME = "fuzz-input.dbm";
constexpr size_t PLAY_HEADER_BYTES = 9;
constexpr uint32_t PLAY_RATES[6] = {44100, 8000, 22050, 48000, 96000, 192000};
constexpr uint32_t PLAY_MAX_FRAMES[4] = {44100, 1, 441, 4096};
constexpr uint32_t STREAM_PULLS[16] = {0, 1, 2, 3, 17, 64, 441, 1000, 4095, 8192, 22050, 44099, 44100, 44101, 88200, 100000};
constexpr uint64_t TRACK_FRAME_BUDGET = 44100 * 2 * 2;

constexpr uint64_t MEMORY_BUDGET = 256u << 20;

// Installs (once) our host's service record, interface 10, with the memory budget.
inline void useBudgetedHost()
{
    if (!dbm::pluginGlobals.host) {
        kvhost::setMemoryBudget(MEMORY_BUDGET);
        dbm::pluginGlobals.host = kvhost::serviceRecord(10);
        dbm::pluginGlobals.hostVersion = 9;
    }
}

// Our host's allocate and free services, counted and budgeted as the core's blocks are.
inline const dbm::HostFunction *memoryServices()
{
    return reinterpret_cast<const dbm::HostFunction *>(kvhost::serviceRecord(10)[dbm::SERVICE_MEMORY]);
}
inline void *allocate(size_t bytes)
{
    return bytes <= UINT32_MAX ? reinterpret_cast<dbm::HostAllocate>(memoryServices()[dbm::MEMORY_ALLOCATE])(1, uint32_t(bytes)) : nullptr;
}
inline void release(void *block) { reinterpret_cast<dbm::HostFree>(memoryServices()[dbm::MEMORY_FREE])(block); }

// useBudgetedHost(), and `size` bytes at `data` served as FILE_NAME.
inline void serve(const uint8_t *data, size_t size)
{
    useBudgetedHost();
    kvhost::addMemoryFile(FILE_NAME, std::vector<uint8_t>(data, data + size));
}

// Removes the file and aborts when anything the core obtained is still held.
inline void checkNothingHeld()
{
    kvhost::removeMemoryFile(FILE_NAME);
    const size_t blocks = kvhost::outstandingBlocks(), files = kvhost::openFiles(), tags = kvhost::outstandingTagObjects();
    if (blocks != 0 || files != 0 || tags != 0) {
        std::fprintf(stderr, "held after the input: %zu blocks, %zu files, %zu tag objects\n", blocks, files, tags);
        std::abort();
    }
}

} // namespace fuzzhost
