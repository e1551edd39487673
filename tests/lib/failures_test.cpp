// Failing memory and reads, and absurd arguments: a clean error, nothing
// left allocated.
#include "library_support.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace libtest;

namespace {

const std::vector<uint8_t> SONGS = modwriter::write(songsModule());

// A whole life of a player: open, songs, lengths, seeks, mutes, renders,
// close. Returns false when the open failed (with the memory error).
bool livePlayer(const dbmplay_allocator *allocator)
{
    int error = -1;
    dbmplay_player *p = dbmplay_open_memory(SONGS.data(), SONGS.size(), allocator, &error);
    if (!p) {
        EXPECT_EQ(error, DBMPLAY_ERROR_MEMORY);
        return false;
    }
    dbmplay_song_length length;
    int16_t out[2 * 6000];
    std::vector<int> results = {dbmplay_render(p, out, 6000),  dbmplay_get_song_length(p, 3, &length),
                                dbmplay_select_song(p, 1),     dbmplay_mute_track(p, 2, 1),
                                dbmplay_seek(p, 9000),         dbmplay_seek(p, 300),
                                dbmplay_seek_order(p, 1),      dbmplay_render(p, out, 6000)};
    if (dbmplay_select_song(p, 3) == DBMPLAY_OK) // order 3 of "Loop" is never reached
        results.push_back(dbmplay_seek_order(p, 3));
    for (int result : results)
        EXPECT_TRUE(result == DBMPLAY_OK || result == DBMPLAY_ERROR_MEMORY) << result;
    dbmplay_close(p);
    return true;
}

struct ReadFailure {
    const std::vector<uint8_t> *bytes;
    size_t offset;
    unsigned reads, failAt;
    static long read(void *user, void *buffer, size_t size)
    {
        auto *self = static_cast<ReadFailure *>(user);
        if (++self->reads == self->failAt)
            return -1;
        const size_t n = std::min<size_t>(size, self->bytes->size() - self->offset);
        std::memcpy(buffer, self->bytes->data() + self->offset, n);
        self->offset += n;
        return long(n);
    }
};

} // namespace

// Every memory request of a player's life refused in turn (k = 1, 2, ...):
// the call that met it fails cleanly and closing returns every block.
TEST(LibraryFailures, EveryAllocationFailingInTurn)
{
    bool failed = true;
    for (unsigned long k = 1; failed; ++k) {
        CountingAllocator allocator;
        allocator.failAt = k;
        livePlayer(&allocator.record);
        failed = allocator.failed;
        ASSERT_EQ(allocator.outstanding, 0) << "allocation " << k;
    }
}

// Every read of an open failing in turn: an error, nothing left allocated.
TEST(LibraryFailures, EveryReadFailingInTurn)
{
    for (unsigned k = 1;; ++k) {
        CountingAllocator allocator;
        ReadFailure reader{&SONGS, 0, 0, k};
        int error = -1;
        dbmplay_player *p = dbmplay_open_reader(ReadFailure::read, &reader, &allocator.record, &error);
        dbmplay_close(p);
        ASSERT_EQ(allocator.outstanding, 0) << "read " << k;
        if (reader.reads < k) {
            EXPECT_NE(p, nullptr);
            break;
        }
        EXPECT_EQ(p, nullptr) << "read " << k;
        EXPECT_EQ(error, DBMPLAY_ERROR_READ) << "read " << k;
    }
}

// Absurd arguments are refused and change nothing.
TEST(LibraryFailures, ArgumentsOutOfRange)
{
    const dbmplay_allocator halfAllocator = {CountingAllocator::allocate, nullptr, nullptr};
    int error = -1;
    int16_t out[2];
    EXPECT_EQ(dbmplay_open_file(nullptr, nullptr, &error), nullptr);
    EXPECT_EQ(error, DBMPLAY_ERROR_ARGUMENT);
    EXPECT_EQ(dbmplay_open_memory(SONGS.data(), SONGS.size(), &halfAllocator, &error), nullptr);
    EXPECT_EQ(error, DBMPLAY_ERROR_ARGUMENT);
    EXPECT_EQ(dbmplay_open_file("/nonexistent/module.dbm", nullptr, &error), nullptr);
    EXPECT_EQ(error, DBMPLAY_ERROR_OPEN);
    EXPECT_EQ(dbmplay_open_memory("DBM1", 4, nullptr, &error), nullptr);
    EXPECT_EQ(error, DBMPLAY_ERROR_DATA);
    dbmplay_player *p = dbmplay_open_memory(SONGS.data(), SONGS.size(), nullptr, &error);
    ASSERT_NE(p, nullptr);
    const int refused[] = {dbmplay_select_song(p, 4),  dbmplay_select_song(p, -1),  dbmplay_seek_order(p, 2),
                           dbmplay_mute_track(p, 4, 1), dbmplay_render(p, nullptr, 1), dbmplay_render(nullptr, out, 1),
                           dbmplay_seek(p, DBMPLAY_MAX_SEEK_FRAMES + 1), dbmplay_get_song_length(p, 0, nullptr),
                           dbmplay_get_position(p, nullptr)};
    for (int result : refused)
        EXPECT_EQ(result, DBMPLAY_ERROR_ARGUMENT);
    EXPECT_EQ(dbmplay_song_name(p, 4), nullptr);
    EXPECT_EQ(dbmplay_track_muted(p, -1), -1);
    dbmplay_position at{};
    ASSERT_EQ(dbmplay_get_position(p, &at), DBMPLAY_OK);
    EXPECT_EQ(at.frame, 0u);
    dbmplay_close(p);
}
