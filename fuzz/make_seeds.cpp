// Writes the seed corpora of the fuzz targets, all made with our module
// writer: make_seeds DIR fills DIR/load, DIR/play and DIR/stream (which must
// exist). The modules are the tests' shared modules: every chunk kind, sample
// width, loop mode, both envelope kinds, every node kind, every effect
// command and extended sub-command, and the limits the hostile tests push.
#include "tests/support/modules.h"

#include <cstdio>

using namespace testsupport;
using Bytes = std::vector<uint8_t>;

namespace {

// A short module playing `command` with these parameters in both columns,
// with notes, so the per-tick part of the effect runs too.
ModuleSpec effectSeed(uint8_t command, const Bytes &parameters)
{
    ModuleSpec d = twoVoices("Effect", 2);
    d.instruments.push_back({"Once", 1, 40, 16000, 0, 0, -20, 0});
    d.patterns = {pattern(uint16_t(2 * parameters.size() + 1), 2)};
    for (unsigned i = 0; i < parameters.size(); ++i) {
        cell(d, 2 * i, 0) = note(4, uint8_t(i % 12), uint8_t(1 + i % 3), command, parameters[i]);
        cell(d, 2 * i + 1, 1) = note(3, 0, 2, 0, 0, command, parameters[i]);
    }
    d.songs = {{"Effect", {0}}};
    d.dspe = true;
    d.echoTrackBytes = {1, 0};
    return d;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR (with DIR/load, DIR/play, DIR/stream)\n");
        return 2;
    }
    std::vector<NamedModule> modules = {{"minimal", modwriter::minimalModule(4)}, {"busy", busyModule()}, {"endless", endlessModule()}};
    for (NamedModule &m : hostileModules())
        if (m.name != "many-tracks") // too slow for the first pass
            modules.push_back(m);
    modules.push_back({"many-tracks", manyTracks(32)});
    for (unsigned command = 0; command < EFFECT_COUNT; ++command)
        modules.push_back({"effect-" + std::to_string(command), effectSeed(uint8_t(command), {0, 1, 0x0F, 0x10, 0x37, 0x80, 0xFF})});
    Bytes extended;
    for (unsigned sub = 0; sub < 16; ++sub)
        extended.push_back(uint8_t(sub << 4 | (sub % 3 + 1)));
    modules.push_back({"extended", effectSeed(EFFECT_EXTENDED, extended)});
    modules.push_back({"echo-switches", effectSeed(EFFECT_ECHO_SWITCH, {0x00, 0x10, 0x20, 0x01, 0x11, 0x21, 0x20, 0x10})});
    // Control bytes (fuzz_host.h), taken in turn so the first pass stays short:
    // for play, 44100 Hz with whole seconds and single frames, 192000 Hz with
    // oversized requests, 8000 Hz; for stream, pulls with an empty one and a
    // rewind, and with tags, seeks elsewhere and a reopen.
    const Bytes play[] = {{0, 0, 16, 0x11, 0x3F, 0x00, 0x00, 0xAC, 0x43}, {5, 3, 0xF0, 0x01, 0x00, 0xFF, 0xFF, 0x00, 0x07},
                          {1, 2, 40, 0x01, 0xB8, 0x00, 0x10, 0x02, 0x00}};
    const Bytes stream[] = {{6, 12, 7, 0, 13, 0xC0, 15}, {0x80 | 8, 11, 0xE3, 14, 0xC0, 0xC0, 8, 0xF0, 12}};
    bool ok = true;
    for (size_t i = 0; i < modules.size(); ++i) {
        const Bytes module = modwriter::write(modules[i].desc);
        const std::pair<const char *, Bytes> seeds[] = {{"load", {}}, {"play", play[i % 3]}, {"stream", stream[i % 2]}};
        for (auto [kind, seed] : seeds) {
            seed.insert(seed.end(), module.begin(), module.end());
            std::FILE *file = std::fopen((std::string(argv[1]) + "/" + kind + "/" + modules[i].name).c_str(), "wb");
            ok &= file && std::fwrite(seed.data(), 1, seed.size(), file) == seed.size();
            ok &= file && std::fclose(file) == 0;
        }
    }
    if (!ok)
        std::fprintf(stderr, "make_seeds: could not write every seed under %s\n", argv[1]);
    return ok ? 0 : 1;
}
