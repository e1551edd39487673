#include "engine/lifecycle.h"

#include "base/host_services.h"
#include "engine/chains.h"
#include "engine/sequencer.h"
#include "engine/song_position.h"
#include "graph/nodes.h"

#include <new>

namespace dbm {

namespace {

constexpr uint32_t RATE_MIN = 8000;
constexpr uint32_t RATE_MAX = 192000;

// 2^(j/6) in 16.16, rounded.
constexpr int64_t LEVEL_STEPS[6] = {65536, 73562, 82570, 92682, 104032, 116772};

bool modulePlayable(const Module *module)
{
    if (module->trackCount == 0 || module->songCount == 0 || !module->songs)
        return false;
    const Song *song = module->songs[0];
    return song && song->orderCount > 0 && song->orders;
}

// Every track must have received its track output node.
bool tracksComplete(const Engine *engine)
{
    for (uint32_t i = 0; i < engine->module->trackCount; ++i)
        if (engine->tracks[i].outputChain.empty())
            return false;
    return true;
}

} // namespace

Engine *createEngine(const Module *module, uint32_t sampleRate, uint32_t maxFrames)
{
    if (!module || maxFrames == 0 || sampleRate < RATE_MIN || sampleRate > RATE_MAX)
        return nullptr;
    if (!modulePlayable(module) || maxFrames > UINT32_MAX / 2)
        return nullptr;

    Engine *engine = hostNew<Engine>();
    if (!engine)
        return nullptr;
    engine->mixBuffer = hostArray<int32_t>(2 * maxFrames);
    if (!engine->mixBuffer) {
        hostDelete(engine);
        return nullptr;
    }
    engine->trackScratch = hostArray<int16_t>(2 * maxFrames);
    if (!engine->trackScratch) {
        hostFree(engine->mixBuffer);
        hostDelete(engine);
        return nullptr;
    }
    void *tracks = hostAllocateItems(module->trackCount, sizeof(TrackState));
    if (!tracks) {
        hostFree(engine->trackScratch);
        hostFree(engine->mixBuffer);
        hostDelete(engine);
        return nullptr;
    }
    engine->tracks = static_cast<TrackState *>(tracks);
    for (uint32_t i = 0; i < module->trackCount; ++i)
        new (&engine->tracks[i]) TrackState();

    engine->module = module;
    engine->sampleRate = sampleRate;
    engine->maxFrames = maxFrames;
    resetEngine(engine);
    if (!tracksComplete(engine)) {
        // Frees the nodes made so far, then the buffers and the record.
        destroyEngine(engine);
        return nullptr;
    }
    buildPanDelayTable(engine->panDelayTable, sampleRate);
    setOutputLevel(engine, 0);
    setPosition(engine, 0, 0, 0);
    return engine;
}

void resetEngine(Engine *engine)
{
    engine->tempo = 125;
    engine->globalVolume = 64;
    engine->arpeggioPhase = 0;
    engine->volumeMin = 0;
    engine->volumeMax = 384;
    engine->panMin = -768;
    engine->panMax = 768;
    engine->pitchMin = 576;
    engine->pitchMax = 4608;
    engine->tick = 0;
    engine->speed = 6;
    engine->framesLeftInTick = 0;
    engine->tickRemainder = 0;
    engine->rowDelay = 0;
    engine->currentPattern = 0;
    engine->currentRow = 0;
    engine->orderPosition = 0;
    engine->currentSong = 0;
    engine->globalVolumeSlide = 0;
    engine->songEnded = 0;
    engine->breakRow = -1;
    engine->jumpOrder = -1;
    engine->loopJump = -1;
    engine->loopCount = 0;
    engine->loopOrder = 0;
    engine->loopRow = 0;
    resetTracks(engine);
}

void resetTracks(Engine *engine)
{
    const Module *module = engine->module;
    for (uint32_t i = 0; i < module->trackCount; ++i) {
        TrackState &track = engine->tracks[i];
        track.currentInstrument = 0;
        track.sounding = 0;
        track.effectMemory[0] = 0;
        track.effectMemory[1] = 0;
        track.portamentoTarget = 576;
        track.pitch = 0;
        track.volume = 0;
        track.panning = 0;
        clearRowMotion(track);
        track.arpeggioOffsets[0] = 0;
        track.vibratoPhase = 0;
        track.retriggerInterval = 0;
        track.playBackwards = 0;
        track.triggerCountdown = COUNTDOWN_IDLE;
        track.cutCountdown = COUNTDOWN_IDLE;

        // Chains left from an earlier reset are released, not dropped.
        freeChain(track.voiceChain);
        freeChain(track.outputChain);
        ProcessingNode *output = createTrackOutput(&track.voiceChain);
        if (!output)
            continue; // createEngine refuses the engine
        track.outputChain.append(output);

        track.echoDelay = module->echoDelay;
        track.echoFeedback = module->echoFeedback;
        track.echoMix = module->echoMix;
        track.echoCross = module->echoCross;
        if (module->trackFlags && (module->trackFlags[i] & TRACK_FLAG_ECHO))
            addEcho(engine, track, ECHO_GLOBAL);
    }
}

int32_t setOutputLevel(Engine *engine, int16_t level)
{
    int16_t l = level;
    // 64-bit arithmetic that wraps like the hardware for absurd levels.
    uint64_t v = 65536;
    while (l > 5) {
        l = static_cast<int16_t>(l - 6);
        v <<= 1;
    }
    while (l < 0) {
        l = static_cast<int16_t>(l + 6);
        v = static_cast<uint64_t>(static_cast<int64_t>(v) >> 1);
    }
    const int64_t p = static_cast<int64_t>(v * static_cast<uint64_t>(LEVEL_STEPS[l]));
    const int64_t tracks = static_cast<int16_t>(engine->module->trackCount);
    int64_t q;
    if (tracks == -1)
        q = static_cast<int64_t>(0 - static_cast<uint64_t>(p));
    else
        q = p / tracks;
    engine->outputGain = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(q >> 16)));
    engine->clipLevel = engine->outputGain != 0 ? 2147483647 / engine->outputGain : 2147483647;
    return engine->outputGain;
}

void setPosition(Engine *engine, uint32_t song, int32_t order, int32_t row)
{
    engine->currentRow = row;
    engine->currentSong = song;
    engine->orderPosition = order;
    engine->tick = 0;
    engine->currentPattern = orderEntry(engine, order);
    engine->playedOrder = order;
    engine->playedRow = row;
    engine->playedPattern = engine->currentPattern;
    // A song without orders has nothing to play: it is stopped from the start.
    if (!currentSongRecord(engine) || currentSongRecord(engine)->orderCount == 0)
        engine->rowDelay = ROW_DELAY_HALT;
}

void buildPanDelayTable(int16_t *table, uint32_t sampleRate)
{
    const int64_t k = static_cast<int64_t>(sampleRate) * 333 / 1000000;
    for (int64_t i = 0; i < static_cast<int64_t>(PAN_DELAY_ENTRIES); ++i)
        table[i] = static_cast<int16_t>(static_cast<uint16_t>(((i + 1) * (i + 1) * k) >> 14));
}

void destroyEngine(Engine *engine)
{
    if (!engine)
        return;
    if (engine->tracks) {
        for (uint32_t i = 0; i < engine->module->trackCount; ++i) {
            freeChain(engine->tracks[i].outputChain);
            freeChain(engine->tracks[i].voiceChain);
        }
    }
    hostFree(engine->tracks);
    hostFree(engine->trackScratch);
    hostFree(engine->mixBuffer);
    hostDelete(engine);
}

} // namespace dbm
