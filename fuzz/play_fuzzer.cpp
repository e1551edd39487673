// Fuzz target: load the module behind the control bytes (fuzz_host.h), create
// an engine at the rate and render size they choose, and render what the
// budget allows in the request sizes they give.
#include "engine/lifecycle.h"
#include "engine/render.h"
#include "fuzz/fuzz_host.h"
#include "module/loader.h"

using namespace fuzzhost;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < PLAY_HEADER_BYTES)
        return 0;
    serve(data + PLAY_HEADER_BYTES, size - PLAY_HEADER_BYTES);
    dbm::Module *module = dbm::loadModule(FILE_NAME, nullptr, nullptr, nullptr);
    const uint32_t maxFrames = PLAY_MAX_FRAMES[data[1] % 4];
    dbm::Engine *engine = module ? dbm::createEngine(module, PLAY_RATES[data[0] % 6], maxFrames) : nullptr;
    if (engine) {
        dbm::setOutputLevel(engine, static_cast<int8_t>(data[2]));
        std::vector<int16_t> out(2 * size_t(maxFrames + 1));
        // A stopped song renders short pieces: what was asked counts, so every input ends.
        for (uint64_t call = 0, asked = 0; asked < TRACK_FRAME_BUDGET / module->trackCount; ++call) {
            const uint16_t v = static_cast<uint16_t>(data[3 + 2 * (call % 3)] << 8 | data[4 + 2 * (call % 3)]);
            const uint32_t wanted = v == 0xFFFF ? maxFrames + 1 : 1 + v % maxFrames;
            const uint32_t n = dbm::renderFrames(engine, wanted, out.data());
            if (n > wanted || (wanted > maxFrames && n != 0))
                __builtin_trap();
            asked += wanted;
        }
    }
    dbm::destroyEngine(engine);
    dbm::freeModule(module);
    checkNothingHeld();
    return 0;
}
