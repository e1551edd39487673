// Support for the library's tests: the module they play, renders through the
// library and through the plug-in's stream, and an allocator that counts its
// blocks and refuses the k-th request.
#pragma once

#include "bench/stream_player.h"
#include "dbmplay.h"
#include "tools/modwriter/modwriter.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace libtest {

using Pcm = std::vector<int16_t>;
constexpr uint8_t JUMP = 11, SPEED = 15;
constexpr uint32_t ROW = 6 * 882;   // a row at speed 6, tempo 125
constexpr uint32_t FAST_ROW = 3 * 735; // at speed 3, tempo 150

// Four tracks (track 1 with echo), four 16-row patterns, four songs:
// "First" {0, 1}; "Second" {1, 2, 1}; "Third" {2}, where pattern 2 sets speed
// 3 and tempo 150 on its first row; "Loop" {0, 1, 3, 2}, where pattern 3
// jumps back to order 1 on its row 14, so order 3 is never reached.
inline modwriter::ModuleSpec songsModule()
{
    modwriter::ModuleSpec m = modwriter::minimalModule(4);
    m.instruments.push_back(m.instruments[0]);
    m.instruments[1].name = "Second";
    m.instruments[1].baseRate = 11025;
    m.dspe = true;
    m.echoTrackBytes = {1, 0, 1, 1};
    m.patterns.assign(4, modwriter::PatternSpec{});
    for (unsigned p = 0; p < 4; ++p) {
        m.patterns[p].rows = 16;
        for (unsigned row = 0; row < 16; row += 2 + p) {
            modwriter::Cell &cell = m.patterns[p].at(row, (row / 2 + p) % 4, 4);
            cell.octave = uint8_t(3 + (row + p) % 3);
            cell.note = uint8_t((row * 5 + p) % 12);
            cell.instrument = uint8_t(1 + (row + p) % 2);
        }
    }
    m.patterns[2].at(0, 3, 4).effect2 = SPEED;
    m.patterns[2].at(0, 3, 4).param2 = 3;
    m.patterns[2].at(0, 2, 4).effect2 = SPEED;
    m.patterns[2].at(0, 2, 4).param2 = 150;
    m.patterns[3].at(14, 0, 4).effect2 = JUMP;
    m.patterns[3].at(14, 0, 4).param2 = 1;
    m.songs = {{"First", {0, 1}}, {"Second", {1, 2, 1}}, {"Third", {2}}, {"Loop", {0, 1, 3, 2}}};
    return m;
}

// `frames` frames of the plug-in's stream for the module, in requests of `request`.
inline Pcm streamRender(const std::vector<uint8_t> &bytes, uint32_t frames, uint32_t request)
{
    static unsigned serial = 0;
    benchmodules::StreamPlayer player("library-test-" + std::to_string(++serial) + ".dbm", bytes);
    Pcm out(2 * size_t(frames));
    for (uint32_t done = 0; player.ok() && done < frames;) {
        const uint32_t n = frames - done < request ? frames - done : request;
        done += player.request(&out[2 * size_t(done)], n);
    }
    return out;
}

// The next `frames` frames of the player, in requests of `request`.
inline Pcm libraryRender(dbmplay_player *player, uint32_t frames, uint32_t request)
{
    Pcm out(2 * size_t(frames));
    for (uint32_t done = 0; done < frames; done += request) {
        const uint32_t n = frames - done < request ? frames - done : request;
        if (dbmplay_render(player, &out[2 * size_t(done)], n) != DBMPLAY_OK)
            break;
    }
    return out;
}

inline Pcm slice(const Pcm &pcm, uint32_t from, uint32_t frames)
{
    return Pcm(pcm.begin() + 2 * size_t(from), pcm.begin() + 2 * size_t(from + frames));
}

// Counts blocks; refuses request number failAt (1-based; 0: none).
struct CountingAllocator {
    dbmplay_allocator record{allocate, release, this};
    long outstanding = 0;
    unsigned long requests = 0, failAt = 0;
    bool failed = false;

    static void *allocate(void *user, size_t size)
    {
        auto *self = static_cast<CountingAllocator *>(user);
        if (++self->requests == self->failAt) {
            self->failed = true;
            return nullptr;
        }
        ++self->outstanding;
        return std::malloc(size);
    }
    static void release(void *user, void *block)
    {
        --static_cast<CountingAllocator *>(user)->outstanding;
        std::free(block);
    }
};

} // namespace libtest
