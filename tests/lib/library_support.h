// For the tests of the library and the GStreamer element. Their module: four
// tracks (track 1 with echo), two instruments, four 16-row patterns and four
// songs: "First" {0, 1}; "Second" {1, 2, 1}; "Third" {2}, where pattern 2
// sets speed 3 and tempo 150 on its first row; "Loop" {0, 1, 3, 2}, where pattern 3 jumps back to
// order 1 on its row 14, so that order 3 is never reached.
#pragma once

#include "dbmplay.h"
#include "tools/modwriter/modwriter.h"

#include <algorithm>
#include <fstream>
#include <string>

namespace libtest {

constexpr uint32_t ROW = 6 * 882;      // a row at speed 6, tempo 125
constexpr uint32_t FAST_ROW = 3 * 735; // at speed 3, tempo 150

inline modwriter::ModuleSpec songsModule()
{
    modwriter::ModuleSpec m = modwriter::minimalModule(4);
    m.instruments.push_back({"Second", 1, 64, 11025, 0, 32, 0, 1}); // sample 1 looped at a quarter of 44100 Hz
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
    m.patterns[2].at(0, 3, 4) = {0, 0, 0, 0, 0, 15, 3};   // speed 3
    m.patterns[2].at(0, 2, 4) = {0, 0, 0, 0, 0, 15, 150}; // tempo 150
    m.patterns[3].at(14, 0, 4) = {0, 0, 0, 0, 0, 11, 1};  // jump to order 1
    m.songs = {{"First", {0, 1}}, {"Second", {1, 2, 1}}, {"Third", {2}}, {"Loop", {0, 1, 3, 2}}};
    return m;
}

using Pcm = std::vector<int16_t>;

// `frames` frames from the player in requests of `request`, silence after an error.
inline Pcm libraryRender(dbmplay_player *player, uint32_t frames, uint32_t request)
{
    Pcm out(2 * size_t(frames));
    for (uint32_t done = 0, n; done < frames; done += n)
        if (dbmplay_render(player, &out[2 * size_t(done)], n = std::min(request, frames - done)) != DBMPLAY_OK)
            break;
    return out;
}

inline Pcm slice(const Pcm &pcm, uint32_t from, uint32_t frames)
{
    return Pcm(pcm.begin() + 2 * size_t(from), pcm.begin() + 2 * size_t(from + frames));
}

inline bool writeFile(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

} // namespace libtest
