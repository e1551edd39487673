#include "engine/rows.h"

#include "engine/chains.h"

namespace dbm {

namespace {

uint32_t echoMode(TrackState &track)
{
    return static_cast<uint32_t>(queryOutputChain(track, ATTR_ECHO_MODE));
}

void removeEchoOfMode(TrackState &track, uint32_t mode)
{
    if (echoMode(track) == mode)
        removeEcho(track);
}

} // namespace

void applyEchoSwitch(Engine *engine, TrackState &track, uint8_t parameter)
{
    const uint32_t trackCount = engine->module->trackCount;
    switch (parameter) {
    case 0x00:
        addEcho(engine, track, ECHO_GLOBAL);
        break;
    case 0x10:
        for (uint32_t t = 0; t < trackCount; ++t)
            addEcho(engine, engine->tracks[t], ECHO_GLOBAL);
        break;
    case 0x20:
        addEcho(engine, track, ECHO_TRACK);
        break;
    case 0x01:
        removeEchoOfMode(track, ECHO_GLOBAL);
        break;
    case 0x11:
        for (uint32_t t = 0; t < trackCount; ++t)
            removeEchoOfMode(engine->tracks[t], ECHO_GLOBAL);
        break;
    case 0x21:
        removeEchoOfMode(track, ECHO_TRACK);
        break;
    default:
        break;
    }
}

void setEchoParameters(Engine *engine, TrackState &track)
{
    // All four always travel together: the echo recomputes its weights from
    // the whole list.
    const NodeTag tags[] = {
        {TAG_ECHO_FEEDBACK, track.echoFeedback},
        {TAG_ECHO_MIX, track.echoMix},
        {TAG_ECHO_CROSS, track.echoCross},
        {TAG_ECHO_DELAY, track.echoDelay},
        {TAG_END, 0},
    };
    if (echoMode(track) == ECHO_TRACK) {
        sendOutputTags(track, tags);
        return;
    }
    const uint32_t trackCount = engine->module->trackCount;
    for (uint32_t t = 0; t < trackCount; ++t) {
        TrackState &other = engine->tracks[t];
        if (echoMode(other) != ECHO_GLOBAL)
            continue;
        other.echoDelay = track.echoDelay;
        other.echoFeedback = track.echoFeedback;
        other.echoMix = track.echoMix;
        other.echoCross = track.echoCross;
        sendOutputTags(other, tags);
    }
}

} // namespace dbm
