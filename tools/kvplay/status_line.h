// Playback's status line on standard error: redrawn in place (carriage
// return, clear to the end of the line), cut to the terminal's width so it
// never wraps. Messages are printed above it. Drawn only when enabled
// (standard error is a terminal and -q was not given); messages always go out.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <string>

namespace kvplay {

class StatusLine {
public:
    explicit StatusLine(bool enabled) : enabled_(enabled) {}
    ~StatusLine() { clear(); }
    StatusLine(const StatusLine &) = delete;
    StatusLine &operator=(const StatusLine &) = delete;

    void show(const std::string &text);
    // One line on standard error, above the status line.
    void message(const std::string &line);
    void clear();

private:
    bool enabled_;
    bool shown_ = false;
};

} // namespace kvplay
