// Every allocation and every read of a whole stream's life may fail: opening,
// playing (voice chains and echoes are built while notes and effects come),
// rewinding (the file is read again) and closing. Each run must end without
// a crash or a leak: the open fails cleanly, or the stream plays on (tracks
// whose chain could not be built stay silent).
#include "tests/hardening/hardening_modules.h"
#include "tests/hardening/stream_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>

namespace {

using namespace hardening;

const char FILE_NAME[] = "hardening-busy.dbm";
constexpr uint32_t FIRST_PULLS[] = {1000, 44100, 50000, 7, 37193};
constexpr uint32_t FIRST_PLAY = 44100 * 3; // their sum: past every row of the song once
constexpr uint32_t SECOND_PLAY = 44100 / 2; // after the rewind

class FaultSweep : public ::testing::Test {
protected:
    void SetUp() override
    {
        useHost();
        kvhost::resetHostControls();
        kvhost::addMemoryFile(FILE_NAME, modwriter::write(busyModule()));
        blocks = kvhost::outstandingBlocks();
    }
    void TearDown() override
    {
        kvhost::resetHostControls();
        kvhost::removeMemoryFile(FILE_NAME);
    }

    // Open, play, rewind, play again, close. Returns whether the open
    // succeeded; checks that an open stream delivers every frame asked for
    // (none after a rewind that could not load the song again) and that
    // nothing is left afterwards.
    bool run(const std::string &what)
    {
        void *stream = openStream(FILE_NAME);
        if (stream) {
            auto *state = static_cast<dbm::StreamState *>(stream);
            uint32_t delivered = 0;
            for (uint32_t ask : FIRST_PULLS)
                delivered += pull(stream, ask, out).written;
            EXPECT_EQ(delivered, FIRST_PLAY) << what;
            dbm::SeekStream(stream, 0);
            const uint32_t expected = state->engine ? SECOND_PLAY : 0;
            EXPECT_EQ(pull(stream, SECOND_PLAY, out).written, expected) << what;
            dbm::CloseStream(stream);
        }
        EXPECT_EQ(kvhost::outstandingBlocks(), blocks) << what;
        EXPECT_EQ(kvhost::openFiles(), 0u) << what;
        kvhost::resetHostControls();
        return stream != nullptr;
    }

    // Counts what one undisturbed run asks of the host.
    void measure(uint64_t &allocations, uint64_t &reads)
    {
        const uint64_t allocationsBefore = kvhost::allocationCount();
        const uint64_t readsBefore = kvhost::readCount();
        ASSERT_TRUE(run("undisturbed"));
        allocations = kvhost::allocationCount() - allocationsBefore;
        reads = kvhost::readCount() - readsBefore;
    }

    // Runs once per k in 1..count with `inject(k)` armed; returns how many
    // of the runs still opened.
    uint64_t sweep(const char *name, uint64_t count, const std::function<void(uint64_t)> &inject)
    {
        uint64_t opened = 0;
        for (uint64_t k = 1; k <= count; ++k) {
            inject(k);
            opened += run(std::string(name) + " " + std::to_string(k)) ? 1 : 0;
        }
        std::printf("%s: %llu runs, %llu opened\n", name, static_cast<unsigned long long>(count),
                    static_cast<unsigned long long>(opened));
        return opened;
    }

    size_t blocks = 0;
    std::vector<int16_t> out;
};

// The run the sweeps disturb builds voice chains and echoes while playing.
TEST_F(FaultSweep, UndisturbedRunAllocatesWhilePlaying)
{
    const uint64_t before = kvhost::allocationCount();
    void *stream = openStream(FILE_NAME);
    ASSERT_NE(stream, nullptr);
    const uint64_t atOpen = kvhost::allocationCount();
    pull(stream, FIRST_PLAY, out);
    EXPECT_GT(kvhost::allocationCount() - atOpen, 3 * (atOpen - before) / 4);
    dbm::CloseStream(stream);
    EXPECT_EQ(kvhost::outstandingBlocks(), blocks);
}

// Every block of a whole stream life is asked for as count 1 and the size in
// bytes, except the stream record, which is asked for as count 1300, size 1
// (where words are 32 bits; the record is larger with 64-bit pointers).
TEST_F(FaultSweep, EveryRequestAsksForCountOne)
{
    std::map<uint32_t, uint64_t> requests = kvhost::allocationsByCount();
    const uint64_t before = kvhost::allocationCount();
    ASSERT_TRUE(run("undisturbed"));
    for (const auto &[count, number] : kvhost::allocationsByCount())
        requests[count] = number - requests[count];
    const uint32_t record = sizeof(void *) == 4 ? 1300 : sizeof(dbm::StreamState);
    const std::map<uint32_t, uint64_t> expected = {{1, kvhost::allocationCount() - before - 1}, {record, 1}};
    EXPECT_EQ(requests, expected);
}

// The k-th allocation failing, for every k the run makes.
TEST_F(FaultSweep, EveryAllocationFailing)
{
    uint64_t allocations = 0, reads = 0;
    measure(allocations, reads);
    ASSERT_GT(allocations, 50u);
    const uint64_t opened = sweep("single allocation failures", allocations,
                                  [](uint64_t k) { kvhost::failAllocation(k); });
    EXPECT_GT(opened, 0u); // failures during play leave the stream playing
    EXPECT_LT(opened, allocations);
}

// The k-th allocation and every later one failing, for every k.
TEST_F(FaultSweep, AllAllocationsFailingFromTheKth)
{
    uint64_t allocations = 0, reads = 0;
    measure(allocations, reads);
    sweep("allocation failures from k on", allocations, [](uint64_t k) { kvhost::failAllocationsFrom(k); });
}

// The k-th read failing, for every k the run makes.
TEST_F(FaultSweep, EveryReadFailing)
{
    uint64_t allocations = 0, reads = 0;
    measure(allocations, reads);
    ASSERT_GT(reads, 20u);
    sweep("read failures", reads, [](uint64_t k) { kvhost::failRead(k); });
}

// The k-th read delivering one byte, or none at all, for every k.
TEST_F(FaultSweep, EveryReadShortened)
{
    uint64_t allocations = 0, reads = 0;
    measure(allocations, reads);
    sweep("reads shortened to 1 byte", reads, [](uint64_t k) { kvhost::shortenRead(k, 1); });
    sweep("reads shortened to 0 bytes", reads, [](uint64_t k) { kvhost::shortenRead(k, 0); });
}

} // namespace
