#include "tools/kvplay/length_plan.h"

#include <algorithm>
#include <cmath>

namespace kvplay {
namespace {

uint64_t framesOf(double seconds)
{
    return uint64_t(std::llround(seconds * OUTPUT_RATE));
}

} // namespace

LengthPlan planLength(const dbm::SongDuration &duration, std::optional<double> seconds, double tail)
{
    LengthPlan plan{};
    if (!seconds && duration.stops) {
        plan.songFrames = duration.frames;
        plan.tailFrames = framesOf(tail);
        return plan;
    }
    plan.songFrames = framesOf(seconds.value_or(ENDLESS_SECONDS));
    bool cutShort = !duration.stops || plan.songFrames < duration.frames;
    if (cutShort)
        plan.fadeFrames = std::min(LONGEST_FADE, plan.songFrames / 4);
    return plan;
}

} // namespace kvplay
