// Playback's feeding thread: reads one song's frames from a PlannedStream
// (the plug-in's StreamSamples, exactly as a render does) into the FrameRing
// the audio callback plays from, keeping it a few seconds ahead.
//
// The device waits rather than playing a gap: at the start, after a seek,
// and while the ring holds less than two seconds (when the device takes
// frames faster than the feeder renders them, as SDL's disk driver does),
// the feeder renders under the device's lock, so the callback does not run
// until the frames are there. Otherwise, as with a real device, it stays
// ahead and leaves the lock alone.
//
// Construction starts the thread and destruction stops and joins it; the
// stream, ring and device must outlive it. seekBy(), ready() and finished()
// are for the main thread.
#pragma once

#include "tools/kvplay/audio_device.h"
#include "tools/kvplay/frame_ring.h"
#include "tools/kvplay/planned_stream.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace kvplay {

class Feeder {
public:
    // The ring's capacity for playback, and how much the feeder keeps in it
    // before it lets the device play on. At the start and after a seek it
    // fills the whole ring first.
    static constexpr uint32_t RING_FRAMES = 4 * OUTPUT_RATE;
    static constexpr uint32_t LOW_FRAMES = 2 * OUTPUT_RATE;

    // Restarts `ring` at song frame 0 and fills it from `source`.
    Feeder(PlannedStream &source, FrameRing &ring, AudioDevice &device);
    ~Feeder();
    Feeder(const Feeder &) = delete;
    Feeder &operator=(const Feeder &) = delete;

    // Moves playback `frames` on (back when negative) from the frame being
    // heard, exactly; calls made before the feeder gets to them add up.
    void seekBy(int64_t frames);
    // The ring holds enough to start the device, or the whole song.
    bool ready() const { return ready_.load(std::memory_order_acquire); }
    // The song's last frame is in the ring.
    bool finished() const { return finished_.load(std::memory_order_acquire); }

private:
    void run();
    void addBlock();
    void fillUp();

    PlannedStream &source_;
    FrameRing &ring_;
    AudioDevice &device_;
    std::vector<int16_t> block_;
    std::mutex mutex_;
    bool stop_ = false;         // guarded by mutex_
    bool seekPending_ = false;  // guarded by mutex_
    int64_t seekFrames_ = 0;    // guarded by mutex_
    std::atomic<bool> ready_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

} // namespace kvplay
