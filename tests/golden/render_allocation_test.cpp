// Rendering takes no memory of its own: once the notes (which build voice
// chains) are over, a dense module with an echo on every track renders on
// without a single request to the host's allocator.
#include "bench/modules.h"
#include "bench/stream_player.h"
#include "host/services.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The dense 16-track module with echoes, its notes kept only in the first
// eight rows of the first pattern; every effect stays.
std::vector<uint8_t> notesOnlyAtTheStart()
{
    modwriter::ModuleSpec desc = benchmodules::denseModule(16, true);
    for (size_t p = 0; p < desc.patterns.size(); ++p) {
        std::vector<modwriter::Cell> &cells = desc.patterns[p].cells;
        for (size_t i = p == 0 ? 8 * size_t(desc.tracks) : 0; i < cells.size(); ++i) {
            cells[i].note = 0;
            cells[i].octave = 0;
            cells[i].instrument = 0;
        }
    }
    return modwriter::write(desc);
}

} // namespace

// After the last note has started, rendering (pulls, mixing, ticks, effects
// and echo settings) makes no allocation.
TEST(RenderAllocation, NoneOnceNoNoteStarts)
{
    benchmodules::StreamPlayer player("allocation-song.dbm", notesOnlyAtTheStart());
    ASSERT_TRUE(player.ok());
    std::vector<int16_t> buffer(2 * 4096);
    const uint64_t atOpen = kvhost::allocationCount();
    for (int i = 0; i < 20; ++i) // about 1.9 s: past row 8 of the first pattern
        ASSERT_EQ(player.request(buffer.data(), 4096), 4096u);
    const uint64_t before = kvhost::allocationCount();
    ASSERT_GT(before, atOpen); // the notes built voice chains, and the count saw it
    for (int i = 0; i < 200; ++i) // about 18.6 s more, over several patterns
        ASSERT_EQ(player.request(buffer.data(), 4096), 4096u);
    EXPECT_EQ(kvhost::allocationCount(), before);
}
