// Every allocation and every read of a whole stream's life may fail: opening
// (with user tags, so a tag object is made), playing (voice chains and echoes
// are built while notes and effects come), rewinding (the file is read again;
// a stream whose reload failed delivers nothing and rewinds no more) and
// closing. Each run ends without a crash or a leak: the open fails and
// leaves nothing, or the stream plays on (a track whose chain could not be
// built stays silent) and delivers every frame asked for.
#include "tests/support/host.h"
#include "tests/support/modules.h"
#include "tests/support/stream.h"

#include <functional>
#include <map>

namespace {

using namespace testsupport;

const char FILE_NAME[] = "sweep-busy.dbm";
constexpr uint32_t FIRST_PULLS[] = {1000, 44100, 50000, 7, 37193}; // past every row of the song
constexpr uint32_t SECOND_PLAY = 44100 / 2;                        // after the rewind

class FaultSweep : public HostTest {
protected:
    FaultSweep() { kvhost::addMemoryFile(FILE_NAME, modwriter::write(busyModule())); }
    ~FaultSweep() override { kvhost::removeMemoryFile(FILE_NAME); }

    // Open, play, rewind, play again, close; whether the open succeeded.
    // An open stream delivers every frame asked for (none after a rewind
    // that could not load the song again).
    bool run(const std::string &what)
    {
        dbm::Word tags[] = {0x80000001u, 7, 0}, format[dbm::FORMAT_WORDS] = {};
        format[dbm::FORMAT_USER_TAGS] = reinterpret_cast<dbm::Word>(tags);
        void *stream = dbm::OpenStream(FILE_NAME, format);
        atOpen = kvhost::allocationCount();
        if (stream) {
            uint32_t delivered = 0;
            for (uint32_t ask : FIRST_PULLS)
                delivered += pull(stream, ask, out).written;
            played = kvhost::allocationCount();
            EXPECT_EQ(delivered, 44100u * 3) << what;
            dbm::SeekStream(stream, 0);
            const uint32_t expected = static_cast<dbm::StreamState *>(stream)->engine ? SECOND_PLAY : 0;
            EXPECT_EQ(pull(stream, SECOND_PLAY, out).written, expected) << what;
            if (expected == 0) { // the reload failed: no more rewinds, nothing delivered
                dbm::SeekStream(stream, 0);
                EXPECT_EQ(pull(stream, 1000, out).written, 0u) << what;
            }
            dbm::CloseStream(stream);
        }
        return stream != nullptr;
    }

    std::vector<int16_t> out;
    uint64_t atOpen = 0, played = 0; // allocation counts after opening and after the first play
};

// The undisturbed run builds voice chains and echoes while playing, and asks
// for every block as count 1 and the size in bytes, but for the stream
// record, asked for as count 1300, size 1 (where words are 32 bits; the
// record is larger with 64-bit pointers). Then one row per kind of fault,
// armed for every k = 1.. as many allocations or reads as it makes.
TEST_F(FaultSweep, EveryAllocationAndReadFailing)
{
    std::map<uint32_t, uint64_t> requests = kvhost::allocationsByCount();
    const uint64_t allocations = kvhost::allocationCount(), reads = kvhost::readCount();
    ASSERT_TRUE(run("undisturbed"));
    const uint64_t allocated = kvhost::allocationCount() - allocations, read = kvhost::readCount() - reads;
    EXPECT_GT(played - atOpen, 3 * (atOpen - allocations) / 4);
    for (const auto &[count, number] : kvhost::allocationsByCount())
        requests[count] = number - requests[count];
    const uint32_t record = sizeof(void *) == 4 ? 1300 : sizeof(dbm::StreamState);
    EXPECT_EQ(requests, (std::map<uint32_t, uint64_t>{{1, allocated - 1}, {record, 1}}));
    ASSERT_GT(allocated, 50u);
    ASSERT_GT(read, 20u);
    const struct {
        const char *fault;
        uint64_t runs;
        std::function<void(uint64_t)> arm;
    } rows[] = {
        {"the k-th allocation failing", allocated, kvhost::failAllocation},
        {"every allocation from the k-th on failing", allocated, kvhost::failAllocationsFrom},
        {"the k-th read failing", read, kvhost::failRead},
        {"the k-th read delivering 1 byte", read, [](uint64_t k) { kvhost::shortenRead(k, 1); }},
        {"the k-th read delivering nothing", read, [](uint64_t k) { kvhost::shortenRead(k, 0); }},
    };
    for (const auto &row : rows) {
        uint64_t opened = 0;
        for (uint64_t k = 1; k <= row.runs; ++k) {
            const LeakCheck leaks; // and it clears the fault again
            row.arm(k);
            opened += run(std::string(row.fault) + ", k = " + std::to_string(k));
        }
        if (&row == &rows[0]) { // failures while playing leave the stream playing
            EXPECT_TRUE(opened > 0 && opened < row.runs) << opened;
        }
    }
}

} // namespace
