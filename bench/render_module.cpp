// dbmrender MODULE FRAMES: renders the first FRAMES frames of one of the
// benchmark modules (dense4, dense16, dense64, dense64echo, demo) through the
// stream in requests of 4096 frames, for instruction counts (callgrind.sh).
// Prints the frames rendered; exits 1 on a bad argument or a failed open.
#include "bench/modules.h"
#include "bench/stream_player.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: dbmrender MODULE FRAMES\n");
        return 1;
    }
    const std::string wanted = argv[1];
    const unsigned long frames = std::strtoul(argv[2], nullptr, 10);
    for (const benchmodules::NamedModule &module : benchmodules::renderModules()) {
        if (module.name != wanted)
            continue;
        benchmodules::StreamPlayer player(module.name + ".dbm", module.bytes);
        if (!player.ok()) {
            std::fprintf(stderr, "dbmrender: %s did not open\n", argv[1]);
            return 1;
        }
        std::vector<int16_t> buffer(2 * 4096);
        unsigned long done = 0;
        while (done < frames) {
            const uint32_t ask = frames - done < 4096 ? uint32_t(frames - done) : 4096;
            const uint32_t got = player.request(buffer.data(), ask);
            if (got == 0)
                break;
            done += got;
        }
        std::printf("%lu\n", done);
        return 0;
    }
    std::fprintf(stderr, "dbmrender: no module %s\n", argv[1]);
    return 1;
}
