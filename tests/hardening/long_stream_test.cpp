// The four-hour stream: a module that never falls silent is pulled for the
// whole announced length, in requests of many sizes. The stream delivers
// exactly 635040000 frames, says so with `done` on the last request and
// every later one, and takes no memory while it plays.
#include "tests/hardening/hardening_modules.h"
#include "tests/hardening/stream_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace hardening;

const char FILE_NAME[] = "hardening-endless.dbm";

bool silent(const std::vector<int16_t> &out, size_t frames)
{
    return std::all_of(out.begin(), out.begin() + 2 * frames, [](int16_t s) { return s == 0; });
}

// All 635040000 frames, no more, then done; memory constant throughout.
TEST(FourHourStream, DeliversTheAnnouncedLengthInConstantMemory)
{
    useHost();
    kvhost::resetHostControls();
    kvhost::addMemoryFile(FILE_NAME, modwriter::write(endlessModule()));
    const size_t blocksBefore = kvhost::outstandingBlocks();
    void *stream = openStream(FILE_NAME);
    ASSERT_NE(stream, nullptr);
    auto *state = static_cast<dbm::StreamState *>(stream);

    const uint32_t sizes[] = {44100, 100000, 1, 65536, 4410, 88200, 333, 12345, 44101};
    std::vector<int16_t> out;
    uint64_t delivered = 0;
    size_t blocksPlaying = 0;
    uint64_t allocationsPlaying = 0;
    bool memoryChanged = false;
    Pulled last{};
    uint32_t lastAsked = 0;
    for (unsigned call = 0; delivered < dbm::STREAM_TOTAL_FRAMES; ++call) {
        lastAsked = sizes[call % 9];
        last = pull(stream, lastAsked, out);
        const uint64_t left = dbm::STREAM_TOTAL_FRAMES - delivered;
        ASSERT_EQ(last.written, std::min<uint64_t>(lastAsked, left)) << "call " << call;
        ASSERT_EQ(last.done, lastAsked >= left ? 1u : 0u) << "call " << call;
        delivered += last.written;
        if (call == 20) { // a few seconds in: every chain is built
            blocksPlaying = kvhost::outstandingBlocks();
            allocationsPlaying = kvhost::allocationCount();
        } else if (call > 20 && call % 64 == 0) {
            memoryChanged |= kvhost::outstandingBlocks() != blocksPlaying;
        }
    }
    EXPECT_FALSE(memoryChanged);
    EXPECT_EQ(kvhost::outstandingBlocks(), blocksPlaying);
    EXPECT_EQ(kvhost::allocationCount(), allocationsPlaying);
    EXPECT_EQ(delivered, dbm::STREAM_TOTAL_FRAMES);
    EXPECT_EQ(state->position, dbm::STREAM_TOTAL_FRAMES);
    EXPECT_FALSE(silent(out, last.written)); // still sounding at the very end

    const Pulled after = pull(stream, 4410, out);
    EXPECT_EQ(after.written, 0u);
    EXPECT_EQ(after.done, 1u);

    dbm::CloseStream(stream);
    kvhost::removeMemoryFile(FILE_NAME);
    EXPECT_EQ(kvhost::outstandingBlocks(), blocksBefore);
    EXPECT_EQ(kvhost::openFiles(), 0u);
}

} // namespace
