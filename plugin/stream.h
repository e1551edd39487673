// The audio stream the host pulls: 44100 Hz, 2 channels, signed 16-bit,
// interleaved left then right, announced as 635040000 frames (four hours).
//
// Contract: InitPlugin with a service record comes first. The host never
// calls two operations on the same stream at once; several streams may be
// open at once. OpenStream returns null on any failure with nothing left
// allocated; file names of 1024 bytes or more and adapter names of 256 bytes
// or more are refused. SeekStream only rewinds to frame 0. StreamSamples
// always returns 0; the outcome is in the request (written, done). A stream
// whose song could not be loaded again by a rewind delivers 0 frames.
#pragma once

#include "base/host_api.h"
#include "engine/engine.h"
#include "engine/stream_render.h"
#include "module/module.h"

namespace dbm {

constexpr uint32_t STREAM_TOTAL_FRAMES = 635040000;
constexpr uint32_t STREAM_FILE_NAME_BYTES = 1024;
constexpr uint32_t STREAM_ADAPTER_NAME_BYTES = 256;

// One open stream, the handle the host holds. Allocated zero-filled as
// sizeof(StreamState) bytes; owns its module, engine and tag object.
struct StreamState {
    Module *module;
    Engine *engine;
    uint32_t totalFrames; // announced length
    uint32_t position;    // frames delivered, 0..totalFrames
    char fileName[STREAM_FILE_NAME_BYTES];
    char adapterName[STREAM_ADAPTER_NAME_BYTES]; // empty: none
    void *tagObject;
};
static_assert(sizeof(void *) != 4 || sizeof(StreamState) == 1300,
              "the stream record is 1300 bytes on the 32-bit target");

extern "C" {
void *OpenStream(const char *file, Word *format);
void CloseStream(void *stream);
void SeekStream(void *stream, uint32_t frame);
int32_t StreamSamples(void *stream, Word *request);
}

} // namespace dbm
