#include "tools/kvplay/options.h"

#include <CLI/CLI.hpp>

namespace kvplay {

int parseOptions(int argc, char **argv, Options &options)
{
    CLI::App app{"kvplay: renders DBM0 music modules to audio files, or plays them (--play), through "
                 "the digibooster.kvp plug-in.\nWith no FILE, renders the built-in demo to demo.wav "
                 "(or plays it).",
                 "kvplay"};
    app.add_option("FILE", options.files, "DBM0 modules; each is rendered to <name>.wav");
    app.add_option("-o,--output", options.output,
                   "Output file (one FILE only); '-' writes a WAV stream to standard output. "
                   "The extension chooses the format: .wav, .flac, .ogg, .aiff");
    app.add_option("-f,--format", options.format,
                   "Format of outputs named after their inputs: wav, flac, ogg, aiff")
        ->check(CLI::IsMember({"wav", "flac", "ogg", "aiff"}));
    app.add_flag("--raw", options.raw, "Write headerless native 16-bit stereo frames (<name>.raw)");
    app.add_option("--plugin", options.plugin,
                   "The plug-in to host (default: digibooster.kvp installed beside kvplay)");
    app.add_option("-s,--seconds", options.seconds,
                   "Render exactly this many seconds (default: the song's length and its echo "
                   "tail; 300 seconds, faded out, for a song that never stops)")
        ->check(CLI::Range(0.0, 14400.0));
    app.add_option("-t,--tail", options.tail, "Longest echo tail after the song's end, in seconds")
        ->check(CLI::Range(0.0, 600.0))
        ->capture_default_str();
    app.add_flag("-i,--info", options.info, "Describe the modules instead of rendering them");
    app.add_flag("-q,--quiet", options.quiet, "No progress line (playing: no status or summary lines)");
    app.add_option("-j,--jobs", options.jobs, "Render this many files at once")
        ->check(CLI::Range(1u, 256u))
        ->capture_default_str();
    app.add_option("--write-demo", options.writeDemo, "Write the built-in demo module to this file");
    app.add_flag("-V,--version", options.version, "Name, version and revision of the plug-in");
    CLI::Option *play = app.add_flag("-p,--play", options.play,
                                     "Play the modules through the sound device, one after the other "
                                     "(keys: h shows them)");
    play->excludes("--output")->excludes("--raw")->excludes("--info");
    app.add_option("--device", options.device, "Output device for --play (see --list-devices)")
        ->needs(play);
    app.add_flag("--list-devices", options.listDevices, "List the sound devices --play can use");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &error) {
        return app.exit(error);
    }
    if (!options.output.empty() && options.files.size() > 1) {
        std::fprintf(stderr, "kvplay: -o names one output, but %zu files were given\n",
                     options.files.size());
        return 2;
    }
    return -1;
}

} // namespace kvplay
