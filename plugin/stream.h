// The audio stream the host pulls: 44100 Hz, 2 channels, signed 16-bit,
// interleaved left then right, announced as 635040000 frames (four hours).
//
// Contract: InitPlugin with a service record comes first. The host never
// calls two operations on the same stream at once; several streams may be
// open at once. OpenStream returns null on any failure with nothing left
// allocated. SeekStream only rewinds to frame 0. StreamSamples always returns
// 0; the outcome is in the request (written, done).
#pragma once

#include "plugin/host_api.h"

namespace dbm {

constexpr uint32_t STREAM_TOTAL_FRAMES = 635040000;
constexpr uint32_t STREAM_RATE = 44100;
constexpr uint32_t STREAM_MAX_RENDER = 44100;

extern "C" {
void *OpenStream(const char *file, Word *format);
void CloseStream(void *stream);
void SeekStream(void *stream, uint32_t frame);
int32_t StreamSamples(void *stream, Word *request);
}

} // namespace dbm
