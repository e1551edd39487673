#include "engine/chains.h"

#include "graph/nodes.h"

namespace dbm {

namespace {

void sendTags(NodeList &list, const NodeTag *tags)
{
    for (ProcessingNode *node = list.head; node; node = node->next)
        node->setParameters(tags);
}

} // namespace

void sendVoiceTags(TrackState &track, const NodeTag *tags)
{
    sendTags(track.voiceChain, tags);
}

void sendOutputTags(TrackState &track, const NodeTag *tags)
{
    sendTags(track.outputChain, tags);
}

int32_t queryOutputChain(TrackState &track, uint32_t id)
{
    for (ProcessingNode *node = track.outputChain.head; node; node = node->next) {
        uint32_t value = 0;
        if (node->getAttribute(id, &value))
            return static_cast<int32_t>(value);
    }
    return 0;
}

uint32_t buildVoiceChain(Engine *engine, TrackState &track, uint32_t instrument)
{
    freeChain(track.voiceChain);
    track.sounding = 0;
    track.currentInstrument = 0;

    const Module *module = engine->module;
    if (instrument == 0 || instrument > module->instrumentCount || !module->instruments)
        return 0;
    const Instrument *record = module->instruments[instrument - 1];
    if (!record)
        return 0;
    track.volumeEnvelopeState.envelope = record->volumeEnvelope;
    track.panningEnvelopeState.envelope = record->panningEnvelope;

    if (record->type != INSTRUMENT_TYPE_SAMPLE || !module->samples || record->sample >= module->sampleCount)
        return 0;
    const Sample *sample = module->samples[record->sample];
    if (!sample || !sample->data || sample->length == 0)
        return 0;

    const uint32_t mode = record->flags & INSTRUMENT_LOOP_MASK;
    ProcessingNode *source =
        mode != 0 ? createSampleSource(sample->data, static_cast<int32_t>(record->loopStart),
                                       static_cast<int32_t>(record->loopLength),
                                       static_cast<int32_t>(sample->length), mode)
                  : createSampleSource(sample->data, 0, 0, static_cast<int32_t>(sample->length), 0);
    ProcessingNode *resampler = createResampler();
    ProcessingNode *panDelay = createPanDelay(engine->panDelayTable);
    if (!source || !resampler || !panDelay) {
        if (source)
            source->destroy();
        if (resampler)
            resampler->destroy();
        if (panDelay)
            panDelay->destroy();
        return 0;
    }
    track.voiceChain.append(source);
    track.voiceChain.append(resampler);
    track.voiceChain.append(panDelay);
    track.currentInstrument = static_cast<int32_t>(instrument);
    return 1;
}

uint32_t addEcho(Engine *engine, TrackState &track, uint32_t mode)
{
    const int32_t existing = queryOutputChain(track, ATTR_ECHO_MODE);
    if (existing > 0)
        return static_cast<uint32_t>(existing);
    ProcessingNode *echo = createEcho(engine->sampleRate, mode);
    if (!echo)
        return 0;
    track.outputChain.append(echo);
    return 1;
}

void removeEcho(TrackState &track)
{
    for (ProcessingNode *node = track.outputChain.head; node; node = node->next) {
        if (node->kind == NODE_ECHO) {
            track.outputChain.unlink(node);
            node->destroy();
            return;
        }
    }
}

} // namespace dbm
