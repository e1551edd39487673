// Fuzz target: the library from the outside. Opens the module behind the
// control bytes from memory with an allocator over the fuzz host's budget
// (fuzz_host.h), selects a song, mutes tracks, seeks and renders what the
// budget allows in the request sizes given; then checks that closing gave
// every block back.
//
// Input: the play target's layout (fuzz_host.h: 9 bytes, then the
// module), read differently: byte 0 the song (modulo the song count), byte 1
// a mask of muted tracks (track t by bit t % 8), byte 2 a seek to byte x 64
// frames, bytes 3..8 three big-endian 16-bit request sizes, each
// 1 + v % 4096 frames, used in turn.
#include "dbmplay.h"
#include "fuzz/fuzz_host.h"

#include <algorithm>
#include <vector>

using namespace fuzzhost;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kvhost::setMemoryBudget(MEMORY_BUDGET);
    if (size < PLAY_HEADER_BYTES)
        return 0;
    const dbmplay_allocator allocator = {[](void *, size_t n) { return allocate(n); },
                                         [](void *, void *block) { release(block); }, nullptr};
    dbmplay_player *player = dbmplay_open_memory(data + PLAY_HEADER_BYTES, size - PLAY_HEADER_BYTES, &allocator, nullptr);
    const int tracks = dbmplay_track_count(player);
    if (player) {
        dbmplay_select_song(player, data[0] % dbmplay_song_count(player));
        for (int t = 0; t < tracks; ++t)
            dbmplay_mute_track(player, t, data[1] >> (t % 8) & 1);
        const uint64_t frames = TRACK_FRAME_BUDGET / uint64_t(tracks);
        uint64_t rendered = std::min<uint64_t>(data[2] * uint64_t(64), frames);
        dbmplay_seek(player, rendered);
        std::vector<int16_t> out(2 * 4096);
        for (unsigned call = 0; rendered < frames; ++call) {
            const uint8_t *v = data + 3 + 2 * (call % 3);
            const uint32_t wanted = 1 + uint32_t(v[0] << 8 | v[1]) % 4096;
            if (dbmplay_render(player, out.data(), wanted) > DBMPLAY_ERROR_MEMORY)
                __builtin_trap();
            rendered += wanted;
        }
    }
    dbmplay_close(player);
    checkNothingHeld();
    return 0;
}
