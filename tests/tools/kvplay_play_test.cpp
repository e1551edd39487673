// kvplay --play end to end, through the real SDL2 library: its disk driver
// stands in for the sound device and writes every byte it is given to a
// file, which must be kvplay's rendering of the same module (with silence
// around it), cut where keys sent on a pseudo-terminal moved or paused it.

#include "tests/tools/kvplay_process.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <thread>

namespace {

using kvplaytest::Workspace;

constexpr size_t SEEK_FRAMES = 10 * 44100;

// Two tracks, one of them silent; the looped sample never crosses zero, a different note on
// each row: the song is never silent and no ten seconds of it repeat.
modwriter::ModuleSpec toneModule(unsigned orders, bool echo)
{
    modwriter::ModuleSpec desc = modwriter::minimalModule(2);
    desc.samples[0].frames.clear();
    for (int i = 0; i < 64; ++i)
        desc.samples[0].frames.push_back(2000 + 100 * i);
    desc.instruments[0].loopLength = 64;
    for (unsigned row = 0; row < 64; ++row) {
        modwriter::Cell &cell = desc.patterns[0].at(row, 0, 2);
        cell = {uint8_t(row % 12), uint8_t(3 + row / 12 % 3), 1};
    }
    desc.songs[0].orders.assign(orders, 0);
    desc.dspe = echo;
    desc.echoTrackBytes = {0, 0};
    return desc;
}

// Stereo 16-bit frames as 32-bit words.
std::vector<uint32_t> frames(const std::string &bytes)
{
    std::vector<uint32_t> out(bytes.size() / 4);
    std::memcpy(out.data(), bytes.data(), out.size() * 4);
    return out;
}

std::string slurp(const Workspace &w, const std::string &name)
{
    const std::vector<uint8_t> bytes = w.read(name);
    return std::string(bytes.begin(), bytes.end());
}

// How the device's frames are made of the rendering: silence before the
// start and after the end, runs of silence where it was paused, and jumps of
// whole multiples of `jump` frames ahead or back (counted in `jump`s); `ok`
// is false when they are made otherwise.
struct Splices {
    bool ok = true;
    int jumps = 0, pauses = 0;
    size_t renderEnd = 0; // rendered frames followed to here
};

Splices follow(const std::vector<uint32_t> &device, const std::vector<uint32_t> &render, size_t jump)
{
    Splices s;
    size_t d = 0, r = 0;
    while (d < device.size() && device[d] == 0)
        ++d;
    while (d < device.size() && s.ok) {
        if (r < render.size() && device[d] == render[r]) {
            ++d, ++r;
        } else if (device[d] == 0) {
            while (d < device.size() && device[d] == 0)
                ++d;
            s.pauses += d < device.size();
        } else {
            // Keys read together move once, by their sum.
            s.ok = false;
            for (int64_t k : {1, 2, 3, -1, -2, -3}) {
                const int64_t to = int64_t(r) + k * int64_t(jump);
                if (to >= 0 && to < int64_t(render.size()) && device[d] == render[size_t(to)]) {
                    r = size_t(to);
                    s.jumps += int(k < 0 ? -k : k);
                    s.ok = true;
                    break;
                }
            }
        }
    }
    s.renderEnd = r;
    return s;
}

// A step of a session on the terminal: once `after` holds for the output,
// wait `delayMs`, then type `keys`.
struct Step {
    bool (*after)(const std::string &output);
    int delayMs;
    const char *keys;
};

// Runs `command` with sh on a new pseudo-terminal in `w`'s folder, typing
// the steps' keys; returns the terminal's output (empty if it timed out).
std::string onTerminal(const Workspace &w, const std::string &command, const std::vector<Step> &steps)
{
    int master = -1;
    winsize size{30, 120, 0, 0};
    const pid_t child = forkpty(&master, nullptr, nullptr, &size);
    if (child == 0) {
        if (chdir(w.path("").c_str()) == 0)
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    std::string output;
    size_t step = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (char buffer[4096];;) {
        if (step < steps.size() && steps[step].after(output)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(steps[step].delayMs));
            (void)!write(master, steps[step].keys, std::strlen(steps[step].keys));
            output += "<typed>"; // later steps match what comes after
            ++step;
        }
        pollfd readable{master, POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            output.clear();
            break;
        }
        if (poll(&readable, 1, 50) <= 0)
            continue;
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0)
            break; // the terminal closed: sh is done
        output.append(buffer, size_t(got));
        if (size_t typed = output.rfind("<typed>"); typed != std::string::npos && step)
            output.erase(0, typed + 7);
    }
    waitpid(child, nullptr, 0);
    close(master);
    return output;
}

// The status line once the song has played a second; at any time; paused.
bool playedASecond(const std::string &output) { return std::regex_search(output, std::regex("  0:0[1-9]\\.")); }
bool showsStatus(const std::string &output) { return output.find(" / ") != std::string::npos; }
bool showsPaused(const std::string &output) { return output.find("paused") != std::string::npos; }

std::string clock(size_t frames)
{
    const size_t tenths = (frames * 10 + 22050) / 44100; // "m:ss.t", to the nearest tenth
    char text[32];
    std::snprintf(text, sizeof text, "%zu:%02zu.%zu", tenths / 600, tenths / 10 % 60, tenths % 10);
    return text;
}

TEST(KvplayPlay, TheDeviceGetsExactlyTheRenderedBytesThenSilence)
{
    Workspace w;
    w.write("tone.dbm", toneModule(2, true));
    const kvplaytest::Outcome rendered = w.kvplay("--raw -o - tone.dbm");
    const kvplaytest::Outcome run =
        w.kvplay("SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=device.raw SDL_DISKAUDIODELAY=0 --play tone.dbm");
    ASSERT_TRUE(rendered.status == 0 && run.status == 0) << rendered.errors << run.errors;
    const std::vector<uint32_t> render = frames(rendered.output), device = frames(slurp(w, "device.raw"));
    EXPECT_EQ(run.errors, "tone.dbm: played to the end, " + clock(render.size()) + "\n");
    const Splices s = follow(device, render, SEEK_FRAMES);
    EXPECT_TRUE(s.ok && s.jumps == 0 && s.pauses == 0);
    EXPECT_EQ(s.renderEnd, render.size());
}

TEST(KvplayPlay, KeysOnTheTerminalSeekExactlyPauseWithSilenceAndQuit)
{
    struct Case {
        const char *label;
        std::vector<Step> steps;
        int jumps, pauses;
        const char *status;
    } cases[] = {
        {"right twice then q: 20 s are skipped, then it stops",
         {{playedASecond, 0, "\033[C\033[C"}, {showsStatus, 300, "q"}}, 2, 0, "0\n"},
        {"right, then left: on 10 s, then back 10 s from where it is heard",
         {{playedASecond, 0, "\033[C"}, {showsStatus, 100, "\033[D"}, {showsStatus, 300, "q"}}, 2, 0, "0\n"},
        {"space, space: only silence in between", {{playedASecond, 0, " "}, {showsPaused, 500, " "}, {showsStatus, 300, "q"}}, 0, 1,
         "0\n"},
        {"Ctrl-C stops with the status of SIGINT", {{playedASecond, 0, "\003"}}, 0, 0, "130\n"},
    };
    Workspace w;
    w.write("tone.dbm", toneModule(6, false));
    const std::vector<uint32_t> render = frames(w.kvplay("--raw -o - tone.dbm").output);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        // The disk driver pauses 10 ms per 1024 frames: about twice real time.
        EXPECT_FALSE(onTerminal(w, "stty -g > before; SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=device.raw SDL_DISKAUDIODELAY=10 '" KVPLAY_PATH
                                   "' --play tone.dbm; echo $? > status; stty -g > after", c.steps).empty()) << "kvplay did not finish";
        const Splices splices = follow(frames(slurp(w, "device.raw")), render, SEEK_FRAMES);
        EXPECT_TRUE(splices.ok);
        EXPECT_EQ(splices.jumps, c.jumps);
        EXPECT_EQ(splices.pauses, c.pauses);
        EXPECT_LT(splices.renderEnd, render.size()) << "it stopped before the end";
        EXPECT_EQ(slurp(w, "status"), c.status);
        EXPECT_EQ(slurp(w, "after"), slurp(w, "before"));
        EXPECT_FALSE(slurp(w, "before").empty());
    }
}

TEST(KvplayPlay, WithoutAUsableDeviceOneLineAndStatusOne)
{
    Workspace w;
    w.write("tone.dbm", toneModule(1, false));
    const char *cases[][2] = {
        {"SDL_AUDIODRIVER=disk --play --device nosuchdevice", "nosuchdevice: no such device"}, // a device not listed
        {"SDL_AUDIODRIVER=alsa --play", "ALSA"},                 // ALSA without a sound card
        {"SDL_AUDIODRIVER=nosuchdriver --play", "nosuchdriver"}, // a sound system that is not there
    };
    const bool soundCard = std::ifstream("/proc/asound/cards").peek() == ' ';
    for (const auto &c : cases) {
        if (soundCard && std::strstr(c[0], "alsa"))
            continue;
        const kvplaytest::Outcome run = w.kvplay("SDL_DISKAUDIOFILE=device.raw " + std::string(c[0]) + " tone.dbm");
        EXPECT_EQ(run.status, 1) << c[0];
        EXPECT_EQ(run.errors.rfind("kvplay: no audio output device: ", 0), 0u) << run.errors;
        EXPECT_NE(run.errors.find(c[1]), std::string::npos) << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
        EXPECT_FALSE(w.exists("device.raw"));
    }
}

} // namespace
