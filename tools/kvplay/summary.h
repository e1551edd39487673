// The line kvplay prints for each file it rendered (unless -q):
//   song.dbm -> song.wav  3:12.4, 4 songs, echo
#pragma once

#include <cstdint>
#include <string>

namespace kvplay {

struct RenderedFile {
    uint64_t frames = 0; // written, at 44100 frames a second
    unsigned songs = 0;  // in the module (kvplay renders the first)
    bool echo = false;   // some track of the module has the echo on
};

// `output` "-" is named "stdout". The length as clockTime() gives it.
std::string summaryLine(const std::string &input, const std::string &output, const RenderedFile &file);

// "m:ss.t" for a count of 44100 Hz frames: minutes, seconds and tenths,
// rounded to the nearest tenth.
std::string clockTime(uint64_t frames);

} // namespace kvplay
