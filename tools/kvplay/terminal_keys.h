// Playback's keys on the terminal, and the signals that stop playback.
//
// When standard input is a terminal and kvplay runs in its foreground, the
// terminal is put in a mode that hands over each key at once without echo
// (Ctrl-C arrives as a key, not as a signal; Ctrl-Z does nothing) and is
// restored by the destructor, whichever way playback ends. SIGINT, SIGTERM,
// SIGHUP and SIGQUIT sent from elsewhere only record that they came and stop
// playback the same orderly way; they are blocked in every thread but while
// the main thread waits in wait(), so threads started after the constructor
// never take them. Without a terminal there are no keys; signals still work.
//
// Main thread only; one instance at a time.
#pragma once

#include <signal.h>
#include <termios.h>

#include <vector>

namespace kvplay {

enum class Key { Pause, Quit, Next, Previous, Back, Forward, Louder, Quieter, Help };

class TerminalKeys {
public:
    TerminalKeys();
    ~TerminalKeys();
    TerminalKeys(const TerminalKeys &) = delete;
    TerminalKeys &operator=(const TerminalKeys &) = delete;

    // Keys are read (standard input is a terminal).
    bool active() const { return active_; }
    // Waits up to `milliseconds` for keys or a signal; returns the keys read
    // (unknown ones are dropped).
    std::vector<Key> wait(int milliseconds);
    // The stopping signal received, 0 if none.
    int signal() const;
    // Ctrl-C was pressed.
    bool interrupted() const { return interrupted_; }

private:
    bool active_ = false; // keys are read
    bool raw_ = false;    // the terminal's settings are to be restored
    bool interrupted_ = false;
    termios saved_{};
    sigset_t oldMask_{};
    static constexpr int STOP_SIGNALS = 4;
    struct sigaction oldActions_[STOP_SIGNALS]{};
};

} // namespace kvplay
