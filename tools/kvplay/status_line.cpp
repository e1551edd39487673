#include "tools/kvplay/status_line.h"

#include "tools/kvplay/length_plan.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace kvplay {

void StatusLine::show(const std::string &text)
{
    if (!enabled_)
        return;
    winsize size{};
    const size_t width = ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 ? size.ws_col : 80;
    std::fprintf(stderr, "\r%s\033[K", text.substr(0, width - 1).c_str());
    std::fflush(stderr);
    shown_ = true;
}

void StatusLine::message(const std::string &line)
{
    clear();
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

void StatusLine::clear()
{
    if (shown_)
        std::fputs("\r\033[K", stderr);
    shown_ = false;
}

} // namespace kvplay
