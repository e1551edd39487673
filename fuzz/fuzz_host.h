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
// fuzz host refuses any block above 64 MiB and any block that would take the
// total above 256 MiB, as a host short of memory does.
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
#include "host/services.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace fuzzhost {

constexpr const char *FILE_NAME = "fuzz-input.dbm";
constexpr size_t PLAY_HEADER_BYTES = 9;
constexpr uint64_t BLOCK_LIMIT = 64u << 20;
constexpr uint32_t PLAY_RATES[6] = {44100, 8000, 22050, 48000, 96000, 192000};
constexpr uint32_t PLAY_MAX_FRAMES[4] = {44100, 1, 441, 4096};
constexpr uint32_t STREAM_PULLS[16] = {0, 1, 2, 3, 17, 64, 441, 1000, 4095, 8192, 22050, 44099, 44100, 44101, 88200, 100000};
constexpr uint64_t TRACK_FRAME_BUDGET = 44100 * 2 * 2;

struct Budget {
    dbm::HostAllocate allocate; // our host's own services
    dbm::HostFree free;
    uint64_t total; // bytes given out, headers excluded
};
inline Budget budget{};
constexpr size_t BLOCK_HEADER = 16; // keeps the blocks' alignment

extern "C" inline void *allocateWithinBudget(uint32_t count, uint32_t size)
{
    const uint64_t bytes = uint64_t(count) * size;
    auto *block = bytes > BLOCK_LIMIT || budget.total + bytes > (256u << 20)
                      ? nullptr
                      : static_cast<uint8_t *>(budget.allocate(1, uint32_t(bytes + BLOCK_HEADER)));
    if (!block)
        return nullptr;
    *reinterpret_cast<uint64_t *>(block) = bytes;
    budget.total += bytes;
    return block + BLOCK_HEADER;
}

extern "C" inline void freeWithinBudget(void *memory)
{
    if (!memory)
        return;
    uint8_t *block = static_cast<uint8_t *>(memory) - BLOCK_HEADER;
    budget.total -= *reinterpret_cast<uint64_t *>(block);
    budget.free(block);
}

// Installs (once) our host's service record, interface 10, with the budgeted
// memory table.
inline void useBudgetedHost()
{
    static dbm::Word record[dbm::SERVICE_RECORD_WORDS];
    static dbm::HostFunction memory[dbm::MEMORY_SLOTS];
    if (!dbm::pluginGlobals.host) {
        const dbm::Word *host = kvhost::serviceRecord(10);
        const auto *hostMemory = reinterpret_cast<const dbm::HostFunction *>(host[dbm::SERVICE_MEMORY]);
        budget = {reinterpret_cast<dbm::HostAllocate>(hostMemory[dbm::MEMORY_ALLOCATE]),
                  reinterpret_cast<dbm::HostFree>(hostMemory[dbm::MEMORY_FREE]), 0};
        memory[dbm::MEMORY_ALLOCATE] = reinterpret_cast<dbm::HostFunction>(&allocateWithinBudget);
        memory[dbm::MEMORY_FREE] = reinterpret_cast<dbm::HostFunction>(&freeWithinBudget);
        std::copy(host, host + dbm::SERVICE_RECORD_WORDS, record);
        record[dbm::SERVICE_MEMORY] = reinterpret_cast<dbm::Word>(memory);
        dbm::pluginGlobals.host = record;
        dbm::pluginGlobals.hostVersion = 9;
    }
}

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
