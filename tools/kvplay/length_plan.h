// How many frames kvplay renders of one song.
//
// By default the song's scanned length, then its echo tail: rendering goes on
// until the output has stayed within +-QUIET_LEVEL for QUIET_FRAMES (that
// quiet run is not written) or `tailFrames` more frames have been rendered.
// Integer echo tails settle at +-1 instead of reaching zero, hence a level. A song
// that never stops plays 300 seconds, or --seconds; --seconds always gives
// exactly that length. A song cut off before its end is faded out over its
// last `fadeFrames` frames.
#pragma once

#include "engine/duration.h"

#include <cstdint>
#include <optional>

namespace kvplay {

constexpr uint32_t OUTPUT_RATE = 44100;
constexpr uint64_t QUIET_FRAMES = OUTPUT_RATE; // longer than any echo delay
constexpr int16_t QUIET_LEVEL = 2;             // about -84 dBFS
constexpr double ENDLESS_SECONDS = 300;
constexpr uint64_t LONGEST_FADE = 2 * OUTPUT_RATE;

struct LengthPlan {
    uint64_t songFrames; // always rendered
    uint64_t tailFrames; // at most this many more, ended early by silence
    uint64_t fadeFrames; // the last fadeFrames of songFrames fade to silence
};

// `seconds`: the --seconds option; `tail`: --tail.
LengthPlan planLength(const dbm::SongDuration &duration, std::optional<double> seconds, double tail);

} // namespace kvplay
