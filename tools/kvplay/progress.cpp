#include "tools/kvplay/progress.h"

#include "tools/kvplay/length_plan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kvplay {

Progress::Progress(bool enabled)
    : enabled_(enabled), start_(std::chrono::steady_clock::now()), lastDraw_(start_)
{
}

void Progress::begin(unsigned job, const std::string &name, uint64_t frames)
{
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_[job] = Entry{name, frames, 0};
    draw(true);
}

void Progress::advance(unsigned job, uint64_t frames)
{
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_[job].done += frames;
    framesRendered_ += frames;
    draw(false);
}

void Progress::end(unsigned job)
{
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.erase(job);
    draw(true);
}

void Progress::message(const std::string &line)
{
    std::lock_guard<std::mutex> lock(mutex_);
    erase();
    std::fprintf(stderr, "%s\n", line.c_str());
    draw(true);
}

void Progress::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    erase();
}

void Progress::erase()
{
    if (shown_)
        std::fputs("\r\033[K", stderr);
    shown_ = false;
}

void Progress::draw(bool force)
{
    using namespace std::chrono;
    if (!enabled_)
        return;
    auto now = steady_clock::now();
    if (!force && now - lastDraw_ < milliseconds(100))
        return;
    lastDraw_ = now;
    erase();
    if (jobs_.empty())
        return;
    std::string line;
    for (const auto &[job, entry] : jobs_) {
        unsigned percent = entry.total ? unsigned(std::min<uint64_t>(100, entry.done * 100 / entry.total)) : 0;
        line += entry.name + " " + std::to_string(percent) + "%  ";
    }
    double elapsed = duration<double>(now - start_).count();
    double audio = double(framesRendered_) / OUTPUT_RATE;
    char tail[64];
    std::snprintf(tail, sizeof tail, "%d:%02d elapsed, %.1fx realtime", int(elapsed) / 60,
                  int(elapsed) % 60, elapsed > 0 ? audio / elapsed : 0.0);
    // One terminal line: the rewrite with a carriage return needs it unwrapped.
    constexpr size_t WIDTH = 79;
    size_t room = WIDTH - std::min(WIDTH, std::strlen(tail));
    if (line.size() > room)
        line = line.substr(0, room > 3 ? room - 3 : 0) + "...";
    line += tail;
    std::fprintf(stderr, "%s", line.c_str());
    std::fflush(stderr);
    shown_ = true;
}

} // namespace kvplay
