// The library against the plug-in's stream and against rules worked out by
// hand on the test module (library_support.h).
#include "bench/modules.h"
#include "bench/stream_player.h"
#include "library_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

using namespace libtest;

namespace {

// Counts its blocks; refuses request number failAt (1-based; 0: none).
struct CountingAllocator {
    dbmplay_allocator record{allocate, release, this};
    long outstanding = 0;
    unsigned long requests = 0, failAt = 0;
    static void *allocate(void *user, size_t size)
    {
        auto *self = static_cast<CountingAllocator *>(user);
        return ++self->requests == self->failAt ? nullptr : (++self->outstanding, std::malloc(size));
    }
    static void release(void *user, void *block) { --static_cast<CountingAllocator *>(user)->outstanding, std::free(block); }
};

struct Player {
    explicit Player(const std::vector<uint8_t> &bytes, const dbmplay_allocator *allocator = nullptr)
        : p(dbmplay_open_memory(bytes.data(), bytes.size(), allocator, &error)) {}
    ~Player() { dbmplay_close(p); }
    int error = -1;
    dbmplay_player *p;
};

// `frames` frames in requests of `request`, from the player or (player null) from the plug-in's stream for `bytes`.
Pcm render(uint32_t frames, uint32_t request, dbmplay_player *player, const std::vector<uint8_t> &bytes = {})
{
    static unsigned serial = 0;
    if (player)
        return libraryRender(player, frames, request);
    benchmodules::StreamPlayer stream("library-" + std::to_string(++serial) + ".dbm", bytes);
    Pcm out(2 * size_t(frames));
    for (uint32_t done = 0, n; done < frames; done += n) {
        n = std::min(request, frames - done);
        if (stream.request(&out[2 * size_t(done)], n) != n)
            break;
    }
    return out;
}

// The module with only song `song`, as its song 0.
std::vector<uint8_t> songAlone(unsigned song)
{
    modwriter::ModuleSpec m = songsModule();
    m.songs = {m.songs[song]};
    return modwriter::write(m);
}

const std::vector<uint8_t> SONGS = modwriter::write(songsModule());

} // namespace

// Song 0 of the golden modules and the demo: the library's bytes are the
// stream's for the same requests.
TEST(Library, SongZeroIsTheStream)
{
    for (const benchmodules::NamedModule &module : benchmodules::renderModules())
        for (uint32_t request : {1u, 777u, 4096u}) {
            const uint32_t frames = request == 1 ? 12000 : 10 * 44100;
            EXPECT_EQ(render(frames, request, Player(module.bytes).p), render(frames, request, nullptr, module.bytes))
                << module.name << " in requests of " << request;
        }
}

// Each song, selected, plays as the same song made song 0 of its own module,
// through its end and its tail, with its length worked out by hand: its
// rows, the extra row of order 0 and the stopping tick; "Loop" plays orders
// 0 and 1 and rows 0-14 of order 2, then goes back to order 1. Each player
// plays on a thread of its own with its own allocator, which gets back every block.
TEST(Library, SongsPlayAsTheirOwnModules)
{
    const dbmplay_song_length lengths[] = {{33 * ROW + 882, 33 * ROW + 882, DBMPLAY_SONG_STOPS},
                                           {16 * ROW + 33 * FAST_ROW + 735, 16 * ROW + 33 * FAST_ROW + 735, 0},
                                           {17 * FAST_ROW + 735, 17 * FAST_ROW + 735, DBMPLAY_SONG_STOPS},
                                           {47 * ROW, 16 * ROW, DBMPLAY_SONG_LOOPS}};
    std::vector<Pcm> played(4);
    std::vector<CountingAllocator> allocators(4);
    std::vector<std::thread> threads;
    for (unsigned song = 0; song < 4; ++song)
        threads.emplace_back([&, song] {
            Player player(SONGS, &allocators[song].record);
            dbmplay_song_length l{};
            EXPECT_EQ(dbmplay_get_song_length(player.p, int(song), &l), DBMPLAY_OK);
            EXPECT_TRUE(l.frames == lengths[song].frames && l.loop_start == lengths[song].loop_start &&
                        l.ending == lengths[song].ending) << song;
            dbmplay_select_song(player.p, int(song));
            played[song] = render(uint32_t(lengths[song].frames) + 44100, 777, player.p);
        });
    for (unsigned song = 0; song < 4; ++song) {
        const Pcm alone = render(uint32_t(lengths[song].frames) + 44100, 4096, nullptr, songAlone(song));
        threads[song].join();
        EXPECT_EQ(played[song], alone) << song;
        EXPECT_TRUE(allocators[song].outstanding == 0 && allocators[song].requests > 0);
    }
}

// Seeking to a frame gives what rendering from the start and discarding
// gives: at tick boundaries and inside ticks, backwards, at the song's end
// and in its tail; seeking to an order goes to its first row start.
TEST(Library, SeeksAreExact)
{
    const uint32_t span = 4410, extraRow = 16 * ROW + 32 * FAST_ROW, end = extraRow + FAST_ROW + 735;
    const Pcm whole = render(end + 30000, 4096, nullptr, songAlone(1));
    Player player(SONGS);
    dbmplay_position at{};
    ASSERT_EQ(dbmplay_select_song(player.p, 1), DBMPLAY_OK);
    for (uint32_t frame : {0u, 1u, 881u, 882u, 883u, 100001u, 20000u, end, end + 20000, 5u}) {
        ASSERT_EQ(dbmplay_seek(player.p, frame), DBMPLAY_OK);
        EXPECT_EQ(render(span, 1000, player.p), slice(whole, frame, span)) << frame;
        EXPECT_TRUE(dbmplay_get_position(player.p, &at) == DBMPLAY_OK && at.ended == (frame + span > extraRow)) << frame;
    }
    // Order 2 of "Second" starts after 16 rows at speed 6 and 16 at speed 3;
    // 4410 frames later row 1 is at its last tick.
    ASSERT_EQ(dbmplay_seek_order(player.p, 2), DBMPLAY_OK);
    EXPECT_EQ(render(span, 4096, player.p), slice(whole, 16 * ROW + 16 * FAST_ROW, span));
    dbmplay_get_position(player.p, &at);
    EXPECT_TRUE(at.frame == 16 * ROW + 16 * FAST_ROW + span && at.song == 1 && at.order == 2 &&
                at.pattern == 1 && at.row == 1 && at.tick == 2);
    // "Loop" never reaches its order 3 (pattern 2): it plays from the start
    // settings, as "Third" does until the end of that pattern.
    ASSERT_EQ(dbmplay_select_song(player.p, 3), DBMPLAY_OK);
    ASSERT_EQ(dbmplay_seek_order(player.p, 3), DBMPLAY_OK);
    EXPECT_EQ(render(16 * FAST_ROW, 4096, player.p), render(16 * FAST_ROW, 4096, nullptr, songAlone(2)));
}

// A muted track is left out of the mix but plays on: all muted is silence,
// and after unmuting every track the mix goes on as if none had been muted.
TEST(Library, MutesLeaveTracksOutOfTheMix)
{
    const uint32_t frames = 3 * 44100, unmuteAt = 50001;
    Player player(SONGS);
    for (int t = 0; t < 4; ++t)
        ASSERT_EQ(dbmplay_mute_track(player.p, t, 1), DBMPLAY_OK);
    EXPECT_EQ(render(unmuteAt, 4096, player.p), Pcm(2 * unmuteAt, 0));
    for (int t = 0; t < 4; ++t)
        dbmplay_mute_track(player.p, t, 0);
    EXPECT_EQ(render(frames - unmuteAt, 4096, player.p),
              slice(render(frames, 4096, nullptr, SONGS), unmuteAt, frames - unmuteAt));
}

// Every memory request of a player's life refused in turn (k = 1, 2, ...):
// the call that meets it fails cleanly and closing returns every block.
TEST(Library, EveryAllocationFailingInTurn)
{
    for (unsigned long k = 1;; ++k) {
        CountingAllocator allocator;
        allocator.failAt = k;
        {
            Player player(SONGS, &allocator.record);
            EXPECT_EQ(player.error, player.p ? DBMPLAY_OK : DBMPLAY_ERROR_MEMORY);
            dbmplay_song_length length;
            int16_t out[2 * 6000];
            const int results[] = {dbmplay_render(player.p, out, 6000), dbmplay_get_song_length(player.p, 3, &length),
                                   dbmplay_select_song(player.p, 3),    dbmplay_seek(player.p, 9000),
                                   dbmplay_seek(player.p, 300),         dbmplay_seek_order(player.p, 3)};
            for (int i = 0; i < 6; ++i) // order 3 of "Loop" (song 3) is never reached
                EXPECT_TRUE(!player.p || results[i] == DBMPLAY_OK || results[i] == DBMPLAY_ERROR_MEMORY ||
                            (i == 5 && results[2] != DBMPLAY_OK)) << i;
        }
        ASSERT_EQ(allocator.outstanding, 0) << "allocation " << k;
        if (allocator.requests < k)
            break;
    }
}

// What the module holds; absurd arguments refused.
TEST(Library, InformationAndArguments)
{
    Player player(SONGS);
    EXPECT_STREQ(dbmplay_module_name(player.p), "Minimal");
    EXPECT_STREQ(dbmplay_song_name(player.p, 3), "Loop");
    EXPECT_STREQ(dbmplay_instrument_name(player.p, 1), "Second");
    EXPECT_EQ(dbmplay_sample_frames(player.p, 0), 32);
    EXPECT_EQ(dbmplay_uses_echo(player.p) - dbmplay_uses_echo(Player(modwriter::write(modwriter::minimalModule(4))).p), 1);
    const dbmplay_allocator half = {CountingAllocator::allocate, nullptr, nullptr};
    for (int result : {dbmplay_select_song(player.p, 4), dbmplay_seek_order(player.p, 2),
                       dbmplay_mute_track(player.p, 4, 1), dbmplay_render(nullptr, nullptr, 0),
                       dbmplay_seek(player.p, DBMPLAY_MAX_SEEK_FRAMES + 1), Player(SONGS, &half).error})
        EXPECT_EQ(result, DBMPLAY_ERROR_ARGUMENT);
    EXPECT_EQ(Player({'D', 'B', 'M', '1'}).error, DBMPLAY_ERROR_DATA);
}
