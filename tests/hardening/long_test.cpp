// The long runs. The four-hour stream: a song that never falls silent pulled
// for the whole announced length in requests of many sizes delivers exactly
// 635040000 frames, says so with `done` on the last request and every later
// one, and takes no memory while it plays. The firing count: a loop event
// fires at most 2147483647 times, which a one-frame loop at the highest pitch
// uses up in under six minutes; the voice then plays on to its sample's end
// and stops, neither hanging nor reading outside the sample.
#include "engine/lifecycle.h"
#include "engine/render.h"
#include "tests/support/load.h"
#include "tests/support/modules.h"
#include "tests/support/stream.h"

#include <algorithm>

namespace {

using namespace testsupport;

class Long : public HostTest {};

TEST_F(Long, FourHourStreamDeliversTheAnnouncedLengthInConstantMemory)
{
    kvhost::addMemoryFile("endless.dbm", modwriter::write(endlessModule()));
    StreamHandle stream(openStream("endless.dbm"));
    ASSERT_NE(stream, nullptr);
    const uint32_t sizes[] = {44100, 100000, 1, 65536, 4410, 88200, 333, 12345, 44101};
    std::vector<int16_t> out;
    uint64_t delivered = 0, allocations = 0;
    Pulled last{};
    for (unsigned call = 0; delivered < 635040000u; ++call) {
        const uint64_t ask = sizes[call % 9], left = 635040000u - delivered;
        last = pull(stream.get(), uint32_t(ask), out);
        ASSERT_EQ(last.written, std::min(ask, left)) << "call " << call;
        ASSERT_EQ(last.done, ask >= left ? 1u : 0u) << "call " << call;
        delivered += last.written;
        if (call == 20) // a few seconds in: every chain is built
            allocations = kvhost::allocationCount();
    }
    EXPECT_EQ(kvhost::allocationCount(), allocations);
    EXPECT_TRUE(std::any_of(out.begin(), out.begin() + 2 * last.written, [](int16_t s) { return s != 0; }));
    const Pulled after = pull(stream.get(), 4410, out);
    EXPECT_EQ(after.written, 0u);
    EXPECT_EQ(after.done, 1u);
    stream.reset();
    kvhost::removeMemoryFile("endless.dbm");
}

TEST_F(Long, ShortestLoopPlaysOnToItsSampleEndWhenTheFiringCountIsUsedUp)
{
    ModuleSpec desc = endlessModule(); // a 64-frame sample, here looped over its first frame
    desc.instruments = {{"One frame", 1, 64, 192000, 0, 1, 0, 1}};
    desc.dspe = false;
    desc.patterns = {pattern(1, 2, {{0, 0, note(9, 0)}})};
    ModuleHandle module(loadSpec(desc));
    ASSERT_NE(module, nullptr);
    dbm::Engine *engine = dbm::createEngine(module.get(), 44100, 44100);
    std::vector<int16_t> out(2 * 44100);
    uint64_t frames = dbm::renderFrames(engine, 44100, out.data());
    dbm::ProcessingNode *source = engine->tracks[0].voiceChain.head;
    ASSERT_EQ(source->kind, uint32_t(dbm::NODE_SAMPLE_SOURCE));
    // About 139 firings a frame: the count lasts some 15.4 million frames.
    while (engine->tracks[0].sounding && frames < 20000000) // the stopped song renders a row a call
        frames += dbm::renderFrames(engine, 44100, out.data());
    uint32_t position = 0;
    EXPECT_EQ(source->getAttribute(dbm::ATTR_POSITION, &position), 1u);
    EXPECT_EQ(position, 64u);
    EXPECT_EQ(engine->tracks[0].sounding, 0u);
    EXPECT_GT(frames, 15000000u); // it was the count that ended the loop
    dbm::destroyEngine(engine);
}

} // namespace
