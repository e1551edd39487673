// What every fuzz target shares: our host's services with a memory budget,
// the input served as an in-memory file, and the check after each input that
// the core gave back every block and closed every file (a leak aborts, so the
// fuzzer reports it with the input that caused it).
//
// The budget: a file of a few bytes may declare samples of 2^31 frames or
// thousands of 65535-row patterns, and the reader asks for that much before
// it finds the file shorter. A real host refuses such blocks; ours would give
// them, and the fuzzer would spend its time zero-filling gigabytes. So the
// fuzz host refuses any block above BLOCK_LIMIT bytes and any block that would
// take the total above TOTAL_LIMIT, as a host short of memory does.
#pragma once

#include "base/host_services.h"
#include "host/services.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace fuzzhost {

constexpr const char *FILE_NAME = "fuzz-input.dbm";
constexpr uint64_t BLOCK_LIMIT = 64u << 20;
constexpr uint64_t TOTAL_LIMIT = 256u << 20;
constexpr size_t BLOCK_HEADER = 16; // keeps the blocks' alignment

struct Budget {
    dbm::HostAllocate allocate = nullptr; // our host's own services
    dbm::HostFree free = nullptr;
    uint64_t total = 0;                   // bytes given out, headers excluded
};

inline Budget &budget()
{
    static Budget b;
    return b;
}

extern "C" inline void *allocateWithinBudget(uint32_t count, uint32_t size)
{
    Budget &b = budget();
    const uint64_t bytes = uint64_t(count) * size;
    if (bytes > BLOCK_LIMIT || b.total + bytes > TOTAL_LIMIT)
        return nullptr;
    auto *block = static_cast<uint8_t *>(b.allocate(1, static_cast<uint32_t>(bytes + BLOCK_HEADER)));
    if (!block)
        return nullptr;
    *reinterpret_cast<uint64_t *>(block) = bytes;
    b.total += bytes;
    return block + BLOCK_HEADER;
}

extern "C" inline void freeWithinBudget(void *memory)
{
    if (!memory)
        return;
    uint8_t *block = static_cast<uint8_t *>(memory) - BLOCK_HEADER;
    budget().total -= *reinterpret_cast<uint64_t *>(block);
    budget().free(block);
}

// Our host's service record (interface 10) with the budgeted memory table.
inline dbm::Word *budgetedServiceRecord()
{
    static dbm::Word record[dbm::SERVICE_RECORD_WORDS];
    static dbm::HostFunction memory[dbm::MEMORY_SLOTS];
    const dbm::Word *host = kvhost::serviceRecord(10);
    const auto *hostMemory = reinterpret_cast<const dbm::HostFunction *>(host[dbm::SERVICE_MEMORY]);
    budget().allocate = reinterpret_cast<dbm::HostAllocate>(hostMemory[dbm::MEMORY_ALLOCATE]);
    budget().free = reinterpret_cast<dbm::HostFree>(hostMemory[dbm::MEMORY_FREE]);
    memory[dbm::MEMORY_ALLOCATE] = reinterpret_cast<dbm::HostFunction>(&allocateWithinBudget);
    memory[dbm::MEMORY_FREE] = reinterpret_cast<dbm::HostFunction>(&freeWithinBudget);
    for (unsigned w = 0; w < dbm::SERVICE_RECORD_WORDS; ++w)
        record[w] = host[w];
    record[dbm::SERVICE_MEMORY] = reinterpret_cast<dbm::Word>(memory);
    return record;
}

// Installs the host (once) and serves `size` bytes at `data` as FILE_NAME.
inline void serve(const uint8_t *data, size_t size)
{
    if (!dbm::pluginGlobals.host) {
        dbm::pluginGlobals.host = budgetedServiceRecord();
        dbm::pluginGlobals.hostVersion = 9;
    }
    kvhost::addMemoryFile(FILE_NAME, std::vector<uint8_t>(data, data + size));
}

// Removes the file and aborts when anything the core obtained is still held.
inline void checkNothingHeld()
{
    kvhost::removeMemoryFile(FILE_NAME);
    const size_t blocks = kvhost::outstandingBlocks();
    const size_t files = kvhost::openFiles();
    const size_t tagObjects = kvhost::outstandingTagObjects();
    if (blocks != 0 || files != 0 || tagObjects != 0) {
        std::fprintf(stderr, "held after the input: %zu blocks, %zu files, %zu tag objects\n", blocks,
                     files, tagObjects);
        std::abort();
    }
}

} // namespace fuzzhost
