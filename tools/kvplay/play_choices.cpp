#include "tools/kvplay/play_choices.h"

#include "tools/kvplay/length_plan.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kvplay {

bool PlayChoices::any() const
{
    return !firstGiven().empty();
}

std::string PlayChoices::firstGiven() const
{
    if (song)
        return "--song";
    if (allSongs)
        return "--all-songs";
    if (startFrame)
        return "--start";
    if (startOrder)
        return "--start-order";
    if (repeat)
        return "--repeat";
    if (!mute.empty())
        return "--mute";
    if (!solo.empty())
        return "--solo";
    return stems ? "--stems" : "";
}

bool PlayChoices::heard(int track) const
{
    const bool soloed = solo.empty() || std::count(solo.begin(), solo.end(), track);
    return soloed && !std::count(mute.begin(), mute.end(), track);
}

std::optional<uint64_t> parsePlayTime(const std::string &text)
{
    const size_t colon = text.find(':');
    double minutes = 0;
    const char *secondsText = text.c_str();
    char *end = nullptr;
    if (colon != std::string::npos) {
        const std::string head = text.substr(0, colon);
        const long whole = std::strtol(head.c_str(), &end, 10);
        if (head.empty() || *end || whole < 0 || head.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        minutes = double(whole);
        secondsText += colon + 1;
    }
    if (!*secondsText || std::string(secondsText).find_first_not_of("0123456789.") != std::string::npos)
        return std::nullopt;
    const double seconds = std::strtod(secondsText, &end);
    const double total = minutes * 60 + seconds;
    if (*end || (colon != std::string::npos && seconds >= 60) || !(total <= 14400))
        return std::nullopt;
    return uint64_t(std::llround(total * OUTPUT_RATE));
}

void addPlayChoices(CLI::App &app, PlayChoices &choices)
{
    CLI::Option *song = app.add_option("--song", choices.song,
                                       "Play song N (counted from 0, as --info lists them); the output "
                                       "is <name>.songN.wav")
                            ->check(CLI::Range(0, 65535))
                            ->type_name("N");
    app.add_flag("--all-songs", choices.allSongs, "Render every song, each to <name>.songN.wav")
        ->excludes(song);
    CLI::Option *start =
        app.add_option_function<std::string>(
               "--start",
               [&choices](const std::string &text) { choices.startFrame = parsePlayTime(text); },
               "Start at this time of the song: seconds, or minutes:seconds (1:30.5)")
            ->check([](const std::string &text) {
                return parsePlayTime(text) ? std::string()
                                           : text + " is not a time in seconds or minutes:seconds (1:30.5) "
                                                    "up to 4 hours";
            })
            ->type_name("TIME");
    app.add_option("--start-order", choices.startOrder,
                   "Start where the song first plays order position N (counted from 0)")
        ->check(CLI::Range(0, 65535))
        ->type_name("N")
        ->excludes(start);
    app.add_option("--repeat", choices.repeat,
                   "For a song that loops: play the loop N more times, then fade out "
                   "(a song that stops plays as it is)")
        ->check(CLI::Range(0u, 1000000u))
        ->type_name("N")
        ->excludes("--seconds");
    app.add_option("--mute", choices.mute, "Leave out these tracks (counted from 1, comma-separated: 1,3)")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->check(CLI::Range(1, 65535))
        ->type_name("LIST");
    app.add_option("--solo", choices.solo, "Play only these tracks (counted from 1, comma-separated)")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->check(CLI::Range(1, 65535))
        ->type_name("LIST");
    app.add_flag("--stems", choices.stems,
                 "One output per track heard, <name>.trackNN.wav, each the mix with only that track; "
                 "they add up to the full mix (see the README)");
}

} // namespace kvplay
