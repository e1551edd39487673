// The progress line on standard error, and every other message kvplay
// prints there, so that messages never land in the middle of the line.
//
// The line shows each file being rendered with its percentage, then the
// elapsed time and how many times faster than real time the batch runs. It
// is drawn only when enabled (standard error is a terminal and -q was not
// given), at most ten times a second. All members may be called from
// several threads at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace kvplay {

class Progress {
public:
    explicit Progress(bool enabled);

    // A job starts rendering about `frames` frames (0 if unknown).
    void begin(unsigned job, const std::string &name, uint64_t frames);
    // `frames` more frames of the job are rendered.
    void advance(unsigned job, uint64_t frames);
    void end(unsigned job);
    // Prints one line on standard error, above the progress line.
    void message(const std::string &line);
    // Removes the progress line.
    void clear();

private:
    struct Entry {
        std::string name;
        uint64_t total = 0;
        uint64_t done = 0;
    };
    void draw(bool force);
    void erase();

    bool enabled_;
    std::mutex mutex_;
    std::map<unsigned, Entry> jobs_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
    uint64_t framesRendered_ = 0;
    bool shown_ = false;
};

} // namespace kvplay
