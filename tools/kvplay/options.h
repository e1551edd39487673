// kvplay's command line: what the user asked for, parsed with CLI11.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kvplay {

struct Options {
    std::vector<std::string> files; // empty: the embedded demo
    std::string output;             // -o: one file, or "-" for standard output; empty: <name>.<format>
    std::string format = "wav";     // extension of the outputs named after their inputs
    bool raw = false;               // headerless native 16-bit frames
    std::string plugin;             // empty: the plug-in installed beside kvplay
    std::optional<double> seconds;  // exact length; a song that never stops plays 300 s by default
    double tail = 3;                // longest echo tail after the song's end
    bool info = false;
    bool quiet = false;
    bool version = false;
    unsigned jobs = 1;
    std::string writeDemo; // write the demo module here and stop
    bool play = false;     // play through the sound device instead of rendering
    std::string device;    // --device: output device name; empty: the system's default
    bool listDevices = false;
};

// Parses the command line. Returns -1 when kvplay should go on with `options`,
// otherwise the exit status to end with (after --help, or a usage error,
// whose message has been printed).
int parseOptions(int argc, char **argv, Options &options);

} // namespace kvplay
