// The buffer between playback's feeding thread and the audio callback: a
// ring of stereo 16-bit frames with one writer and one reader, which never
// lock or allocate once it is made.
//
// Every frame carries its index in the song being played, so the reader's
// side tells how far the song has been heard: restart() says which frame the
// next written one is.
//
// The writer sleeps in waitForSpace() until the reader has made room: read()
// wakes it with a semaphore post, which never blocks (the way real-time
// audio callbacks wake their helpers).
//
// Threads: write(), writable(), waitForSpace() and restart() belong to the
// feeding thread; read() to the audio callback; readable(), heardPosition()
// and wakeWriter() may be called from any thread. restart() must only run
// while read() cannot (the feeding thread holds the audio device's lock).
#pragma once

#include <semaphore.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvplay {

class FrameRing {
public:
    explicit FrameRing(size_t capacityFrames);
    ~FrameRing();
    FrameRing(const FrameRing &) = delete;
    FrameRing &operator=(const FrameRing &) = delete;

    size_t writable() const;
    // Appends `count` frames; `count` must not exceed writable().
    void write(const int16_t *frames, size_t count);

    // Sleeps until `frames` can be written, wakeWriter() is called or
    // `milliseconds` pass; returns at once when there is room already.
    void waitForSpace(size_t frames, unsigned milliseconds);
    void wakeWriter();

    size_t readable() const;
    // Moves up to `count` frames to `out`; returns how many.
    size_t read(int16_t *out, size_t count);

    // Drops every frame not yet read; the next frame written is song frame
    // `position`.
    void restart(uint64_t position);
    // Song frame index of the next frame read.
    uint64_t heardPosition() const;

private:
    // Ring frames [at, at + count), wrapping at the end of the storage.
    void copyIn(uint64_t at, const int16_t *frames, size_t count);
    void copyOut(uint64_t at, int16_t *frames, size_t count) const;

    std::vector<int16_t> samples_;
    size_t capacity_;
    std::atomic<uint64_t> written_{0}; // frames ever written
    std::atomic<uint64_t> read_{0};    // frames ever read
    std::atomic<int64_t> origin_{0};   // song frame index minus ring frame index
    std::atomic<size_t> wanted_{0};    // room the sleeping writer waits for; 0 when awake
    sem_t wake_;
};

} // namespace kvplay
