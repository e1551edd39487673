// The sound device kvplay plays to, through SDL2's audio layer (which
// reaches PipeWire, PulseAudio and ALSA; SDL_AUDIODRIVER=disk writes to a
// file instead, for tests).
//
// The device's audio thread calls our callback, which only copies frames
// from a FrameRing (silence when the ring is empty or playback is paused)
// and applies the output volume: it never loads, allocates, locks or waits
// (the ring's read may post a semaphore to wake the feeding thread).
// The ring is filled by the feeding thread (feeder.h). While that thread
// holds lock(), SDL does not run the callback: that is how it keeps the
// device waiting, instead of playing a gap, while it seeks or is behind.
//
// SDL's and the system libraries' messages are kept off the terminal; a
// failure is one reason in `error`. All members but the callback run on the
// main thread, except lock()/unlock(), which the feeding thread uses.
#pragma once

#include "tools/kvplay/frame_ring.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvplay {

// The names of the output devices, one per entry. False with `error` set
// when no sound system can be reached.
bool listAudioDevices(std::vector<std::string> &names, std::string &error);

// Raises the calling thread's priority to SDL's "high" where the system
// lets kvplay (nothing happens otherwise). For the feeding thread: SDL runs
// the device's thread at its highest priority, and a feeder starved by the
// rest of the machine would leave the device without frames.
void raiseThreadPriority();

class AudioDevice {
public:
    static constexpr int FULL_VOLUME = 100; // percent; the frames go out unchanged

    // Opens `name` (empty: the system's default output) for 44100 Hz stereo
    // 16-bit, playing from `ring`, which must outlive the device. The device
    // starts silent until start(). Null with `error` set on failure.
    static std::unique_ptr<AudioDevice> open(const std::string &name, FrameRing &ring, std::string &error);
    ~AudioDevice(); // stops the callback, closes the device and SDL's audio

    // Lets the device play (once; later calls do nothing).
    void start();
    void lock();
    void unlock();
    void setPaused(bool paused) { paused_.store(paused, std::memory_order_relaxed); }
    bool paused() const { return paused_.load(std::memory_order_relaxed); }
    // 0..FULL_VOLUME percent.
    void setVolume(int percent);
    int volume() const { return volume_.load(std::memory_order_relaxed); }
    // Frames per callback: the device's period, which with the system's own
    // buffering is the delay from a change to hearing it.
    uint32_t periodFrames() const { return periodFrames_; }
    // The audio driver in use ("pulseaudio", "alsa", "disk", ...).
    std::string driver() const;

    AudioDevice(const AudioDevice &) = delete;
    AudioDevice &operator=(const AudioDevice &) = delete;

private:
    explicit AudioDevice(FrameRing &ring) : ring_(ring) {}
    static void callback(void *self, uint8_t *stream, int bytes);

    FrameRing &ring_;
    uint32_t id_ = 0;
    uint32_t periodFrames_ = 0;
    bool started_ = false;
    std::atomic<bool> paused_{false};
    std::atomic<int> volume_{FULL_VOLUME};
};

} // namespace kvplay
