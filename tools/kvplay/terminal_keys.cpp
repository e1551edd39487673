#include "tools/kvplay/terminal_keys.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kvplay {
namespace {

constexpr int STOPPING[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

volatile sig_atomic_t receivedSignal = 0;

extern "C" void recordSignal(int number)
{
    receivedSignal = number;
}

constexpr char CTRL_C = 3;
constexpr char ESCAPE = 27;

// The keys in `bytes`: single characters, and the arrows as the escape
// sequences terminals send for them (ESC [ C, or ESC O C in application mode).
std::vector<Key> decode(const char *bytes, size_t count, bool &interrupted)
{
    std::vector<Key> keys;
    for (size_t i = 0; i < count; ++i) {
        const char c = bytes[i];
        if (c == ESCAPE && i + 2 < count && (bytes[i + 1] == '[' || bytes[i + 1] == 'O')) {
            if (bytes[i + 2] == 'C')
                keys.push_back(Key::Forward);
            else if (bytes[i + 2] == 'D')
                keys.push_back(Key::Back);
            i += 2;
            continue;
        }
        switch (c) {
        case ' ': keys.push_back(Key::Pause); break;
        case 'q': case 'Q': keys.push_back(Key::Quit); break;
        case CTRL_C: keys.push_back(Key::Quit); interrupted = true; break;
        case 'n': case 'N': keys.push_back(Key::Next); break;
        case 'p': case 'P': keys.push_back(Key::Previous); break;
        case '+': case '=': keys.push_back(Key::Louder); break;
        case '-': case '_': keys.push_back(Key::Quieter); break;
        case 'h': case 'H': case '?': keys.push_back(Key::Help); break;
        default: break;
        }
    }
    return keys;
}

} // namespace

TerminalKeys::TerminalKeys()
{
    receivedSignal = 0;
    static_assert(sizeof STOPPING / sizeof STOPPING[0] == STOP_SIGNALS);
    struct sigaction action{};
    action.sa_handler = recordSignal;
    sigemptyset(&action.sa_mask);
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int i = 0; i < STOP_SIGNALS; ++i) {
        sigaction(STOPPING[i], &action, &oldActions_[i]);
        sigaddset(&blocked, STOPPING[i]);
    }
    pthread_sigmask(SIG_BLOCK, &blocked, &oldMask_);

    // Only in the foreground: a background job touching the terminal is stopped.
    if (isatty(STDIN_FILENO) && tcgetpgrp(STDIN_FILENO) == getpgrp() && tcgetattr(STDIN_FILENO, &saved_) == 0) {
        termios raw = saved_;
        raw.c_lflag &= tcflag_t(~(ICANON | ECHO | ISIG));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        active_ = raw_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
}

TerminalKeys::~TerminalKeys()
{
    if (raw_)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    pthread_sigmask(SIG_SETMASK, &oldMask_, nullptr);
    for (int i = 0; i < STOP_SIGNALS; ++i)
        sigaction(STOPPING[i], &oldActions_[i], nullptr);
}

int TerminalKeys::signal() const
{
    return receivedSignal;
}

std::vector<Key> TerminalKeys::wait(int milliseconds)
{
    pollfd input{STDIN_FILENO, POLLIN, 0};
    const timespec timeout{milliseconds / 1000, long(milliseconds % 1000) * 1000000};
    // The stopping signals are let through only here, so poll returns at once.
    const int ready = ppoll(&input, active_ ? 1 : 0, &timeout, &oldMask_);
    if (ready <= 0)
        return {};
    char bytes[64];
    const ssize_t count = (input.revents & POLLIN) ? read(STDIN_FILENO, bytes, sizeof bytes) : 0;
    if (count <= 0) {
        active_ = count < 0 && errno == EINTR; // the terminal is gone: no more keys
        return {};
    }
    return decode(bytes, size_t(count), interrupted_);
}

} // namespace kvplay
