// The library against the plug-in's stream and against rules worked out by
// hand on the test module (library_support.h).
#include "bench/modules.h"
#include "library_support.h"

#include <gtest/gtest.h>

#include <thread>

using namespace libtest;

namespace {

struct Player {
    explicit Player(const std::vector<uint8_t> &bytes, const dbmplay_allocator *allocator = nullptr)
        : p(dbmplay_open_memory(bytes.data(), bytes.size(), allocator, &error))
    {
    }
    ~Player() { dbmplay_close(p); }
    int error = -1;
    dbmplay_player *p;
};

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
            SCOPED_TRACE(module.name + " in requests of " + std::to_string(request));
            const uint32_t frames = request == 1 ? 12000 : 10 * 44100;
            Player player(module.bytes);
            ASSERT_NE(player.p, nullptr);
            EXPECT_EQ(libraryRender(player.p, frames, request), streamRender(module.bytes, frames, request));
        }
}

// Each song, selected, plays as the same song made song 0 of its own module,
// through its end and its tail; its length is the one worked out by hand.
TEST(Library, SongsPlayAsTheirOwnModules)
{
    struct Row {
        unsigned song;
        int ending;
        uint64_t frames, loopStart; // rows, the extra row and the stop tick
    } const rows[] = {
        {0, DBMPLAY_SONG_STOPS, 33 * ROW + 882, 33 * ROW + 882},
        {1, DBMPLAY_SONG_STOPS, 16 * ROW + 33 * FAST_ROW + 735, 16 * ROW + 33 * FAST_ROW + 735},
        {2, DBMPLAY_SONG_STOPS, 17 * FAST_ROW + 735, 17 * FAST_ROW + 735},
        {3, DBMPLAY_SONG_LOOPS, 47 * ROW, 16 * ROW}, // orders 0, 1, rows 0-14 of order 2; back to order 1
    };
    Player player(SONGS);
    ASSERT_NE(player.p, nullptr);
    EXPECT_EQ(dbmplay_song_count(player.p), 4);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.song);
        dbmplay_song_length length{};
        ASSERT_EQ(dbmplay_get_song_length(player.p, int(row.song), &length), DBMPLAY_OK);
        EXPECT_EQ(length.ending, row.ending);
        EXPECT_EQ(length.frames, row.frames);
        EXPECT_EQ(length.loop_start, row.loopStart);
        ASSERT_EQ(dbmplay_select_song(player.p, int(row.song)), DBMPLAY_OK);
        const uint32_t frames = uint32_t(length.frames) + 44100;
        EXPECT_EQ(libraryRender(player.p, frames, 4096), streamRender(songAlone(row.song), frames, 4096));
    }
}

// Seeking to a frame gives what rendering from the start and discarding
// gives: at tick boundaries and inside ticks, backwards, at the song's end
// and in its tail; seeking to an order goes to its first row start.
TEST(Library, SeeksAreExact)
{
    const uint32_t span = 4410, song1End = 16 * ROW + 33 * FAST_ROW + 735;
    const Pcm whole = streamRender(songAlone(1), song1End + 30000, 4096);
    Player player(SONGS);
    ASSERT_EQ(dbmplay_select_song(player.p, 1), DBMPLAY_OK);
    dbmplay_position at{};
    for (uint32_t frame : {0u, 1u, 881u, 882u, 883u, 100001u, 20000u, song1End, song1End + 20000, 5u}) {
        SCOPED_TRACE(frame);
        ASSERT_EQ(dbmplay_seek(player.p, frame), DBMPLAY_OK);
        EXPECT_EQ(libraryRender(player.p, span, 1000), slice(whole, frame, span));
        ASSERT_EQ(dbmplay_get_position(player.p, &at), DBMPLAY_OK);
        EXPECT_EQ(at.ended, frame + span > song1End - 735 - FAST_ROW ? 1 : 0); // from the extra row on
    }
    // Order 2 of "Second" starts after 16 rows at speed 6 and 16 at speed 3.
    ASSERT_EQ(dbmplay_seek_order(player.p, 2), DBMPLAY_OK);
    EXPECT_EQ(libraryRender(player.p, span, 4096), slice(whole, 16 * ROW + 16 * FAST_ROW, span));
    ASSERT_EQ(dbmplay_get_position(player.p, &at), DBMPLAY_OK);
    EXPECT_EQ(at.frame, 16 * ROW + 16 * FAST_ROW + span);
    EXPECT_EQ(at.order, 2);
    EXPECT_EQ(at.pattern, 1);
    EXPECT_EQ(at.row, 1); // 4410 frames at speed 3, tempo 150: row 1 (2205..4409), its last tick
    EXPECT_EQ(at.tick, 2);
    // "Loop" never reaches its order 3 (pattern 2): it plays from the start
    // settings, as "Third" does until the end of that pattern.
    ASSERT_EQ(dbmplay_select_song(player.p, 3), DBMPLAY_OK);
    ASSERT_EQ(dbmplay_seek_order(player.p, 3), DBMPLAY_OK);
    EXPECT_EQ(libraryRender(player.p, 16 * FAST_ROW, 4096), streamRender(songAlone(2), 16 * FAST_ROW, 4096));
}

// A muted track is left out of the mix but plays on: all muted is silence;
// one muted is the module without that track's notes; unmuting is seamless.
TEST(Library, MutesLeaveTracksOutOfTheMix)
{
    const uint32_t frames = 3 * 44100, unmuteAt = 50001;
    modwriter::ModuleSpec withoutEcho = songsModule();
    for (modwriter::PatternSpec &pattern : withoutEcho.patterns)
        for (unsigned row = 0; row < pattern.rows; ++row)
            pattern.at(row, 1, 4) = modwriter::Cell{};
    const Pcm whole = streamRender(SONGS, frames, 4096);
    Player player(SONGS);
    for (int t = 0; t < 4; ++t)
        ASSERT_EQ(dbmplay_mute_track(player.p, t, 1), DBMPLAY_OK);
    EXPECT_EQ(libraryRender(player.p, frames, 4096), Pcm(2 * frames, 0));
    for (int t : {0, 2, 3})
        dbmplay_mute_track(player.p, t, 0);
    ASSERT_EQ(dbmplay_seek(player.p, 0), DBMPLAY_OK);
    EXPECT_EQ(dbmplay_track_muted(player.p, 1), 1);
    EXPECT_EQ(libraryRender(player.p, frames, 4096), streamRender(modwriter::write(withoutEcho), frames, 4096));
    ASSERT_EQ(dbmplay_seek(player.p, 0), DBMPLAY_OK);
    libraryRender(player.p, unmuteAt, 4096);
    dbmplay_mute_track(player.p, 1, 0);
    EXPECT_EQ(libraryRender(player.p, frames - unmuteAt, 4096), slice(whole, unmuteAt, frames - unmuteAt));
}

// What the module holds, as written.
TEST(Library, ModuleInformation)
{
    Player player(SONGS);
    EXPECT_STREQ(dbmplay_module_name(player.p), "Minimal");
    EXPECT_STREQ(dbmplay_song_name(player.p, 3), "Loop");
    EXPECT_EQ(dbmplay_order_count(player.p, 3), 4);
    EXPECT_EQ(dbmplay_track_count(player.p), 4);
    EXPECT_EQ(dbmplay_instrument_count(player.p), 2);
    EXPECT_STREQ(dbmplay_instrument_name(player.p, 1), "Second");
    EXPECT_EQ(dbmplay_sample_count(player.p), 1);
    EXPECT_EQ(dbmplay_sample_frames(player.p, 0), 32);
    EXPECT_EQ(dbmplay_uses_echo(player.p), 1);
    modwriter::ModuleSpec plain = modwriter::minimalModule(4), switched = plain;
    switched.patterns[0].at(3, 2, 4).effect1 = 31; // echo on for track 2
    EXPECT_EQ(dbmplay_uses_echo(Player(modwriter::write(plain)).p), 0);
    EXPECT_EQ(dbmplay_uses_echo(Player(modwriter::write(switched)).p), 1);
}

// Players on several threads at once, each with its own allocator: each
// plays its song as it does alone and its allocator gets back every block.
TEST(Library, PlayersOnSeveralThreads)
{
    std::vector<Pcm> alone;
    for (unsigned song = 0; song < 4; ++song)
        alone.push_back(streamRender(songAlone(song), 30000, 4096));
    std::vector<std::thread> threads;
    std::vector<CountingAllocator> allocators(4);
    std::vector<Pcm> played(4);
    for (unsigned song = 0; song < 4; ++song)
        threads.emplace_back([&, song] {
            Player player(SONGS, &allocators[song].record);
            dbmplay_select_song(player.p, int(song));
            played[song] = libraryRender(player.p, 30000, 777);
        });
    for (unsigned song = 0; song < 4; ++song) {
        threads[song].join();
        EXPECT_EQ(played[song], alone[song]);
        EXPECT_EQ(allocators[song].outstanding, 0);
    }
}
