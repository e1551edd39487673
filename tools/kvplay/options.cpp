#include "tools/kvplay/options.h"

#include "tools/kvplay/option_conflicts.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kvplay {
namespace {

// A number of seconds: finite, above `low` (or equal to it when
// `lowIncluded`), at most `high`. NaN and infinity are refused, which
// CLI11's ranges let pass.
CLI::Validator seconds(double low, bool lowIncluded, double high)
{
    return CLI::Validator(
        [=](std::string &text) -> std::string {
            char *end = nullptr;
            double value = std::strtod(text.c_str(), &end);
            bool number = !text.empty() && end && *end == '\0' && std::isfinite(value);
            if (number && (value > low || (lowIncluded && value == low)) && value <= high)
                return "";
            char why[128];
            std::snprintf(why, sizeof why, "%s is not a number of seconds %s %g and at most %g",
                          text.c_str(), lowIncluded ? "from" : "above", low, high);
            return why;
        },
        "");
}

// A memory size such as 512M or 2G (K, M, G, T count in powers of 1024; a
// trailing "B" or "iB" is allowed), from 1 MiB to 1 TiB. False when `text`
// is not one.
bool parseSize(const std::string &text, uint64_t &bytes)
{
    constexpr uint64_t SMALLEST = uint64_t(1) << 20, LARGEST = uint64_t(1) << 40;
    size_t digits = 0;
    while (digits < text.size() && digits < 15 && std::isdigit(static_cast<unsigned char>(text[digits])))
        ++digits;
    if (digits == 0)
        return false;
    std::string unit = text.substr(digits);
    for (char &c : unit)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    static const std::string UNITS = "KMGT";
    int shift = 0;
    if (!unit.empty() && unit != "B") {
        size_t power = UNITS.find(unit[0]);
        if (power == std::string::npos || !(unit.size() == 1 || unit.substr(1) == "B" || unit.substr(1) == "IB"))
            return false;
        shift = 10 * int(power + 1);
    }
    const uint64_t value = std::stoull(text.substr(0, digits));
    if (value > (LARGEST >> shift))
        return false;
    bytes = value << shift;
    return bytes >= SMALLEST;
}

// CLI11 starts its messages with a capital; ours continue after "kvplay: ".
std::string lowerFirst(std::string text)
{
    if (!text.empty() && !(text.size() > 1 && std::isupper(static_cast<unsigned char>(text[1]))))
        text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

} // namespace

int usageError(const std::string &what)
{
    std::fprintf(stderr, "kvplay: %s (see kvplay --help)\n", what.c_str());
    return 2;
}

int parseOptions(int argc, char **argv, Options &options)
{
    CLI::App app{"kvplay: renders DBM0 music modules to audio files, or plays them (--play), through "
                 "the digibooster.kvp plug-in (through libdbmplay for the song and track options).\n"
                 "With no FILE, renders the built-in demo to demo.wav (or plays it).",
                 "kvplay"};
    app.add_option("FILE", options.files,
                   "DBM0 modules, each rendered to <name>.wav in the current folder; '-' reads one "
                   "from standard input (rendered to stdin.wav)");
    app.add_option("-o,--output", options.output,
                   "Output file (one FILE only); '-' writes a WAV stream to standard output "
                   "(a pipe or a file, not a terminal). The extension chooses the format: .wav, "
                   ".flac, .ogg, .aiff");
    app.add_option("-f,--format", options.format,
                   "Format of outputs named after their inputs: wav (default), flac, ogg, aiff")
        ->check(CLI::IsMember({"wav", "flac", "ogg", "aiff"}));
    app.add_flag("--raw", options.raw, "Write headerless native 16-bit stereo frames (<name>.raw)");
    app.add_flag("--force", options.force, "Replace output files that exist already");
    app.add_option("--plugin", options.plugin,
                   "The plug-in to host (default: digibooster.kvp installed beside kvplay)");
    app.add_option("-s,--seconds", options.seconds,
                   "Render exactly this many seconds (default: the song's length and its echo "
                   "tail; 300 seconds, faded out, for a song that never stops)")
        ->type_name("SECONDS")
        ->check(seconds(0, false, 14400));
    app.add_option("-t,--tail", options.tail,
                   "Longest echo tail after the song's end, in seconds (default 3); it ends "
                   "sooner once the sound has stayed within +-2 (about -84 dBFS) for a second")
        ->type_name("SECONDS")
        ->check(seconds(0, true, 600));
    std::string memoryLimit;
    app.add_option("--memory-limit", memoryLimit,
                   "The most memory one file may take while it is loaded and rendered, "
                   "from 1M to 1T, such as 512M or 2G (default 1G); a file that asks for more is refused")
        ->type_name("SIZE");
    app.add_flag("-i,--info", options.info, "Describe the modules instead of rendering them");
    app.add_flag("-q,--quiet", options.quiet,
                 "No progress and no summary lines (playing: no status line either); only problems");
    app.add_option("-j,--jobs", options.jobs, "Render this many files at once")
        ->check(CLI::Range(1u, 256u))
        ->capture_default_str();
    app.add_option("--write-demo", options.writeDemo, "Write the built-in demo module to this file");
    app.add_flag("-V,--version", options.version,
                 "Print kvplay's version, and the plug-in's name, version and revision");
    app.add_flag("-p,--play", options.play,
                 "Play the modules through the sound device, one after the other (keys: h shows them)");
    app.add_option("--device", options.device, "Output device for --play (see --list-devices)");
    app.add_flag("--list-devices", options.listDevices, "List the sound devices --play can use");
    addPlayChoices(app, options.choices);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &error) {
        if (error.get_exit_code() == 0)
            return app.exit(error); // --help
        return usageError(lowerFirst(error.what()));
    }
    if (!memoryLimit.empty() && !parseSize(memoryLimit, options.memoryLimit))
        return usageError("--memory-limit: " + memoryLimit + " is not a size from 1M to 1T, such as 512M or 2G");
    if (options.version)
        return -1;
    std::string conflict = findConflict(options);
    if (!conflict.empty())
        return usageError(conflict);
    return -1;
}

} // namespace kvplay
