// The options that choose what of a module is played, beyond the plug-in's
// stream (which always plays song 0 from its start with every track): the
// song, where to start, how often a loop repeats, which tracks are heard,
// one output per track. Any of them makes kvplay render through libdbmplay.
//
// Numbering as kvplay --info prints it: songs and order positions from 0,
// tracks from 1.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace kvplay {

struct PlayChoices {
    std::optional<int> song;             // --song
    bool allSongs = false;               // --all-songs: one output per song
    std::optional<uint64_t> startFrame;  // --start, in frames from the song's start
    std::optional<int> startOrder;       // --start-order
    std::optional<unsigned> repeat;      // --repeat: the loop played this many more times
    std::vector<int> mute;               // --mute: tracks left out
    std::vector<int> solo;               // --solo: the only tracks heard (empty: all)
    bool stems = false;                  // --stems: one output per track heard

    // True when any of the options was given.
    bool any() const;
    // The first option given, as written on the command line ("--song"), for
    // messages; empty when none was.
    std::string firstGiven() const;
    // Whether 1-based track `track` is heard.
    bool heard(int track) const;
};

// Adds the options to `app`, filling `choices` when it parses.
void addPlayChoices(CLI::App &app, PlayChoices &choices);

// "SECONDS" or "MINUTES:SECONDS" (seconds may have a fraction) to frames at
// 44100 Hz; nullopt for anything else, a negative time or one past four hours.
std::optional<uint64_t> parsePlayTime(const std::string &text);

} // namespace kvplay
