#include "engine/stream_render.h"

#include "engine/lifecycle.h"
#include "engine/render.h"

#include <cstddef>

namespace dbm {

Engine *createStreamEngine(const Module *module)
{
    Engine *engine = createEngine(module, STREAM_RATE, STREAM_MAX_RENDER);
    if (engine)
        setOutputLevel(engine, STREAM_OUTPUT_LEVEL);
    return engine;
}

uint32_t renderRequest(Engine *engine, uint32_t frames, int16_t *out, uint32_t limit)
{
    uint32_t rendered = 0;
    while (rendered < frames) {
        const uint32_t remaining = frames - rendered;
        const uint32_t ask = remaining < STREAM_MAX_RENDER ? remaining : STREAM_MAX_RENDER;
        const uint32_t n = renderFrames(engine, ask, out + 2 * static_cast<size_t>(rendered));
        if (n == 0)
            break;
        rendered += n;
        if (rendered >= limit)
            break;
    }
    return rendered;
}

} // namespace dbm
