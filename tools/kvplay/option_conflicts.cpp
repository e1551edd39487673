#include "tools/kvplay/option_conflicts.h"

#include "tools/kvplay/audio_output.h"

#include <algorithm>

namespace kvplay {

std::string findConflict(const Options &o)
{
    // Options that only rendering uses, by the name the user typed.
    const std::pair<bool, const char *> rendering[] = {
        {!o.output.empty(), "-o"},      {o.format.has_value(), "-f"}, {o.raw, "--raw"},
        {o.force && o.writeDemo.empty(), "--force"}, {!o.plugin.empty(), "--plugin"},
        {o.seconds.has_value(), "--seconds"},        {o.tail.has_value(), "--tail"},
        {o.jobs != 1, "-j"},                          {o.play, "--play"}};
    // Options that only writing files uses.
    const std::pair<bool, const char *> writing[] = {{!o.output.empty(), "-o"}, {o.format.has_value(), "-f"},
                                                     {o.raw, "--raw"},          {o.force, "--force"},
                                                     {o.jobs != 1, "-j"}};
    const char *mode = !o.writeDemo.empty() ? "--write-demo" : o.info ? "--info" : nullptr;
    const std::string choice = o.choices.firstGiven(); // an option only the player library serves
    if (o.info && !o.writeDemo.empty())
        return "--info and --write-demo cannot be combined";
    if (!o.writeDemo.empty() && !o.files.empty())
        return "--write-demo writes the built-in demo and takes no FILE";
    for (const auto &[given, name] : rendering)
        if (mode && given)
            return std::string(mode) + " renders nothing; " + name + " does not apply to it";
    if (mode && !choice.empty())
        return std::string(mode) + " renders nothing; " + choice + " does not apply to it";
    for (const auto &[given, name] : writing)
        if (o.play && given)
            return std::string("--play plays through the sound device and writes no file; ") + name +
                   " does not apply to it";
    if (!o.device.empty() && !o.play)
        return "--device chooses the sound device --play plays through; give --play too";
    if (o.listDevices && (o.play || mode || !o.files.empty()))
        return "--list-devices only lists the sound devices";
    if (!o.plugin.empty() && !choice.empty())
        return choice + " plays through the player library, and a plug-in's stream plays only song 0 "
                        "from its start with every track: leave out --plugin";
    if (!o.output.empty() && o.files.size() > 1)
        return "-o names one output, but " + std::to_string(o.files.size()) + " files were given";
    if (std::count(o.files.begin(), o.files.end(), "-") > 1)
        return "standard input ('-') can be read only once";
    if (o.raw && o.format)
        return "--raw and -f both choose the output format";
    if (o.raw && o.output != "-" && isAudioFileName(o.output))
        return "--raw writes headerless frames, but " + o.output + " names an audio file";
    if (o.format && !o.output.empty())
        return "-f applies to outputs named after their inputs, not to -o " + o.output;
    if (o.seconds && o.tail)
        return "--seconds gives the exact length; --tail applies only without it";
    return "";
}

} // namespace kvplay
