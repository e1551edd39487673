// Writes the seed corpora of the fuzz targets, all made with our module
// writer: make_seeds DIR fills DIR/load, DIR/play and DIR/stream (which must
// exist). The modules cover every chunk kind, every sample width, every loop
// mode, both envelope kinds, every node kind (voices, echoes from the flags
// and from the echo switches), every effect command and every extended
// sub-command, and the limits the hostile playing tests push.
#include "fuzz/input_layout.h"
#include "tests/hardening/hostile_modules.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace hardening;
using Bytes = std::vector<uint8_t>;

bool writeFile(const std::string &path, const Bytes &bytes)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

// A short module playing `command` with a handful of parameters in both
// columns, with notes, so the per-tick part of the effect runs too.
ModuleSpec effectSeed(uint8_t command, const std::vector<uint8_t> &parameters)
{
    ModuleSpec desc;
    desc.name = "Effect";
    desc.tracks = 2;
    addTwoVoices(desc);
    desc.instruments.push_back({"Once", 1, 40, 16000, 0, 0, -20, 0});
    modwriter::PatternSpec pattern;
    pattern.rows = static_cast<uint16_t>(2 * parameters.size() + 1);
    for (size_t i = 0; i < parameters.size(); ++i) {
        const unsigned row = static_cast<unsigned>(2 * i);
        pattern.at(row, 0, 2) = note(4, static_cast<uint8_t>(i % 12), 1 + i % 3, command, parameters[i]);
        pattern.at(row + 1, 1, 2) = note(3, 0, 2, 0, 0, command, parameters[i]);
    }
    desc.patterns = {pattern};
    desc.songs = {{"Effect", {0}}};
    desc.dspe = true;
    desc.echoTrackBytes = {1, 0};
    return desc;
}

std::vector<std::pair<std::string, ModuleSpec>> seedModules()
{
    std::vector<std::pair<std::string, ModuleSpec>> modules;
    modules.push_back({"minimal", modwriter::minimalModule(4)});
    modules.push_back({"busy", busyModule()});
    modules.push_back({"endless", endlessModule()});
    modules.push_back({"extreme-notes", extremeNotes()});
    modules.push_back({"out-of-range", outOfRangeInstruments()});
    modules.push_back({"strange-envelopes", strangeEnvelopes()});
    modules.push_back({"timing-1-32", timing(1, 32)});
    modules.push_back({"timing-31-255", timing(31, 255)});
    modules.push_back({"many-tracks", manyTracks(32)}); // small enough for quick runs
    for (unsigned command = 0; command < EFFECT_COUNT; ++command)
        modules.push_back({"effect-" + std::to_string(command),
                           effectSeed(static_cast<uint8_t>(command), {0, 1, 0x0F, 0x10, 0x37, 0x80, 0xFF})});
    std::vector<uint8_t> extended;
    for (unsigned sub = 0; sub < 16; ++sub)
        extended.push_back(static_cast<uint8_t>(sub << 4 | (sub % 3 + 1)));
    modules.push_back({"extended", effectSeed(EFFECT_EXTENDED, extended)});
    modules.push_back({"echo-switches", effectSeed(EFFECT_ECHO_SWITCH, {0x00, 0x10, 0x20, 0x01, 0x11, 0x21, 0x20, 0x10})});
    ModuleSpec version2 = busyModule();
    version2.version = 2;
    version2.panningEnvelopes[0].points = {{0, 0}, {6, 64}, {12, 32}};
    modules.push_back({"version-2", version2});
    return modules;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR (with DIR/load, DIR/play, DIR/stream)\n");
        return 2;
    }
    const std::string root = argv[1];
    // Control bytes for the play and stream seeds (input_layout.h).
    const Bytes playHeaders[] = {
        {0, 0, 16, 0x11, 0x3F, 0x00, 0x00, 0xAC, 0x43}, // 44100 Hz, whole seconds and single frames
        {5, 3, 0xF0, 0x01, 0x00, 0xFF, 0xFF, 0x00, 0x07}, // 192000 Hz, oversized requests
        {1, 2, 40, 0x01, 0xB8, 0x00, 0x10, 0x02, 0x00},   // 8000 Hz
    };
    const Bytes streamScripts[] = {
        {6, 12, 7, 0, 13, 0xC0, 15},                      // pulls, an empty one, a rewind
        {0x80 | 8, 11, 0xE3, 14, 0xC0, 0xC0, 8, 0xF0, 12}, // with tags; seeks elsewhere, reopen
    };
    // Each module once per target, the control bytes taken in turn: the
    // first pass over the seeds stays short.
    bool ok = true;
    size_t index = 0;
    for (const auto &[name, desc] : seedModules()) {
        const Bytes module = modwriter::write(desc);
        ok &= writeFile(root + "/load/" + name, module);
        Bytes play = playHeaders[index % 3];
        play.insert(play.end(), module.begin(), module.end());
        ok &= writeFile(root + "/play/" + name, play);
        Bytes stream = streamScripts[index % 2];
        stream.insert(stream.end(), module.begin(), module.end());
        ok &= writeFile(root + "/stream/" + name, stream);
        ++index;
    }
    if (!ok)
        std::fprintf(stderr, "make_seeds: could not write every seed under %s\n", root.c_str());
    return ok ? 0 : 1;
}
