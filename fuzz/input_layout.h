// How the play and stream fuzz targets read their input: a few control bytes
// in front of the module file. The seed generator writes the same layout.
//
// Both render at most TRACK_FRAME_BUDGET / trackCount frames per input.
//
// Play input: 9 bytes, then the module.
//   byte 0: sample rate, PLAY_RATES[byte % 6]
//   byte 1: largest render, PLAY_MAX_FRAMES[byte % 4]
//   byte 2: output level, as a signed byte
//   bytes 3..8: three big-endian 16-bit request sizes, used in turn: a size
//     of 0xFFFF asks one frame more than the largest render (which renders
//     nothing), any other v asks 1 + v % largest render.
// Stream input: 1 + n bytes, then the module.
//   byte 0: bits 0-4 the number n of operations, bit 7 set: open with an
//     adapter name and a user tag list
//   then n operation bytes, run in order on the stream:
//     0x00..0xBF pull STREAM_PULLS[op % 16] frames (0 included); a pull
//       beyond the budget is skipped
//     0xC0..0xDF rewind (seek to frame 0)
//     0xE0..0xEF seek to frame 1 + (op & 15), which does nothing
//     0xF0..0xFF close the stream and open the file again
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzzinput {

constexpr size_t PLAY_HEADER_BYTES = 9;
constexpr uint32_t PLAY_RATES[6] = {44100, 8000, 22050, 48000, 96000, 192000};
constexpr uint32_t PLAY_MAX_FRAMES[4] = {44100, 1, 441, 4096};
constexpr uint16_t PLAY_OVERSIZED_REQUEST = 0xFFFF;
// What one input may render, in frames times tracks: two seconds of two
// tracks at 44100 Hz. A voice on a one-frame loop at the highest pitch reads
// 1008 source frames per frame, each a stretch of its own: with the fuzzer's
// comparison tracing that is about 0.3 ms per frame and track, so this keeps
// the worst input near half a minute, inside the time limit of fuzz-run.
constexpr uint64_t TRACK_FRAME_BUDGET = 44100 * 2 * 2;

constexpr unsigned STREAM_MAX_OPERATIONS = 31;
constexpr uint8_t STREAM_WITH_TAGS = 0x80;
constexpr uint32_t STREAM_PULLS[16] = {0, 1, 2, 3, 17, 64, 441, 1000,
                                       4095, 8192, 22050, 44099, 44100, 44101, 88200, 100000};
constexpr uint8_t STREAM_REWIND = 0xC0;
constexpr uint8_t STREAM_SEEK_ELSEWHERE = 0xE0;
constexpr uint8_t STREAM_REOPEN = 0xF0;

} // namespace fuzzinput
