// kvplay's command line: what the user asked for, parsed with CLI11.
#pragma once

#include "tools/kvplay/play_choices.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvplay {

constexpr double DEFAULT_TAIL = 3;
constexpr uint64_t DEFAULT_MEMORY_LIMIT = uint64_t(1) << 30;

struct Options {
    std::vector<std::string> files;    // empty: the embedded demo; "-": standard input
    std::string output;                // -o: one file, or "-" for standard output; empty: <name>.<format>
    std::optional<std::string> format; // extension of the outputs named after their inputs (wav)
    bool raw = false;                  // headerless native 16-bit frames
    bool force = false;                // replace existing outputs
    std::string plugin;                // empty: the plug-in installed beside kvplay
    std::optional<double> seconds;     // exact length; a song that never stops plays 300 s by default
    std::optional<double> tail;        // longest echo tail after the song's end (DEFAULT_TAIL)
    uint64_t memoryLimit = DEFAULT_MEMORY_LIMIT; // the most one file may take, in bytes
    bool info = false;
    bool quiet = false;
    bool version = false;
    unsigned jobs = 1;
    std::string writeDemo; // write the demo module here and stop
    PlayChoices choices;   // what to play through libdbmplay instead of the plug-in
    bool play = false;     // play through the sound device instead of rendering
    std::string device;    // --device: output device name; empty: the system's default
    bool listDevices = false;
};

// Parses the command line. Returns -1 when kvplay should go on with `options`,
// otherwise the exit status to end with: 0 after --help, 2 after a usage
// error (numbers that are not finite or out of range, unknown options,
// conflicting options), whose one line has been printed.
int parseOptions(int argc, char **argv, Options &options);

// Prints "kvplay: <what> (see kvplay --help)" on standard error and returns
// 2, the exit status of a usage error.
int usageError(const std::string &what);

} // namespace kvplay
