// Fuzz target: the library from the outside. Opens the module behind the
// control bytes from memory, with an allocator that refuses what a host
// short of memory refuses, selects a song, mutes tracks, seeks, and renders
// what the budget allows in the request sizes given; then checks that
// closing gave every block back.
//
// Input: the play target's layout (input_layout.h: 9 bytes, then the
// module), read differently: byte 0 the song (modulo the song count), byte 1
// a mask of muted tracks (track t by bit t % 8), byte 2 a seek to
// byte x 64 frames, bytes 3..8 three big-endian 16-bit request sizes, each
// 1 + v % 4096 frames, used in turn.
#include "dbmplay.h"
#include "fuzz/input_layout.h"

#include <cstdlib>
#include <vector>

using namespace fuzzinput;

namespace {

constexpr uint64_t BLOCK_LIMIT = 64u << 20;
constexpr uint64_t TOTAL_LIMIT = 256u << 20;
constexpr uint32_t LARGEST_REQUEST = 4096;

struct Budget {
    uint64_t total = 0;
    long blocks = 0;

    static void *allocate(void *user, size_t size)
    {
        auto *budget = static_cast<Budget *>(user);
        if (size > BLOCK_LIMIT || budget->total + size > TOTAL_LIMIT)
            return nullptr;
        auto *block = static_cast<uint64_t *>(std::malloc(size + sizeof(uint64_t) * 2));
        if (!block)
            return nullptr;
        block[0] = size;
        budget->total += size;
        ++budget->blocks;
        return block + 2;
    }
    static void release(void *user, void *pointer)
    {
        auto *budget = static_cast<Budget *>(user);
        uint64_t *block = static_cast<uint64_t *>(pointer) - 2;
        budget->total -= block[0];
        --budget->blocks;
        std::free(block);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < PLAY_HEADER_BYTES)
        return 0;
    Budget budget;
    const dbmplay_allocator allocator = {Budget::allocate, Budget::release, &budget};
    dbmplay_player *player =
        dbmplay_open_memory(data + PLAY_HEADER_BYTES, size - PLAY_HEADER_BYTES, &allocator, nullptr);
    if (player) {
        const int tracks = dbmplay_track_count(player);
        dbmplay_select_song(player, data[0] % dbmplay_song_count(player));
        for (int t = 0; t < tracks; ++t)
            dbmplay_mute_track(player, t, data[1] >> (t % 8) & 1);
        const uint64_t frames = TRACK_FRAME_BUDGET / uint64_t(tracks);
        uint64_t rendered = data[2] * uint64_t(64) < frames ? data[2] * uint64_t(64) : frames;
        dbmplay_seek(player, rendered);
        std::vector<int16_t> out(2 * LARGEST_REQUEST);
        for (unsigned call = 0; rendered < frames; ++call) {
            const uint8_t *sizeBytes = data + 3 + 2 * (call % 3);
            const uint32_t wanted = 1 + (uint32_t(sizeBytes[0] << 8 | sizeBytes[1]) % LARGEST_REQUEST);
            if (dbmplay_render(player, out.data(), wanted) > DBMPLAY_ERROR_MEMORY)
                __builtin_trap();
            rendered += wanted;
        }
    }
    dbmplay_close(player);
    if (budget.blocks != 0)
        __builtin_trap();
    return 0;
}
