// Fuzz target: load the module behind the control bytes (input_layout.h),
// create an engine at the rate and render size they choose, and render what
// the budget allows (two seconds of a two-track module) in the request sizes
// they give.
#include "engine/lifecycle.h"
#include "engine/render.h"
#include "fuzz/fuzz_host.h"
#include "fuzz/input_layout.h"
#include "module/loader.h"

#include <vector>

using namespace fuzzinput;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < PLAY_HEADER_BYTES)
        return 0;
    fuzzhost::serve(data + PLAY_HEADER_BYTES, size - PLAY_HEADER_BYTES);
    dbm::Module *module = dbm::loadModule(fuzzhost::FILE_NAME, nullptr, nullptr, nullptr);
    const uint32_t rate = PLAY_RATES[data[0] % 6];
    const uint32_t maxFrames = PLAY_MAX_FRAMES[data[1] % 4];
    dbm::Engine *engine = module ? dbm::createEngine(module, rate, maxFrames) : nullptr;
    if (engine) {
        dbm::setOutputLevel(engine, static_cast<int8_t>(data[2]));
        std::vector<int16_t> out(2 * size_t(maxFrames + 1));
        const uint64_t frames = TRACK_FRAME_BUDGET / module->trackCount;
        uint64_t rendered = 0;
        for (unsigned call = 0; rendered < frames; ++call) {
            const uint8_t *sizeBytes = data + 3 + 2 * (call % 3);
            const uint16_t v = static_cast<uint16_t>(sizeBytes[0] << 8 | sizeBytes[1]);
            const uint32_t wanted = v == PLAY_OVERSIZED_REQUEST ? maxFrames + 1 : 1 + v % maxFrames;
            const uint32_t n = dbm::renderFrames(engine, wanted, out.data());
            if (n > wanted || (wanted > maxFrames && n != 0))
                __builtin_trap();
            // A stopped song renders short pieces; count what was asked so
            // every input ends.
            rendered += wanted;
        }
    }
    dbm::destroyEngine(engine);
    dbm::freeModule(module);
    fuzzhost::checkNothingHeld();
    return 0;
}
