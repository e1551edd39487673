// The rendered output of the benchmark modules, the busy module and the
// hostile ones, pinned by 64-bit FNV-1a digests: any change to the render
// path that alters a single output bit fails here. The hostile modules push
// every limit a file can reach; under the sanitizers this is also where they
// are seen to play without a fault or a leak. Each module is rendered
// through the stream in requests of 4096 frames and its samples hashed low
// byte first, so the plain code paths (PowerPC) and the vectorised ones
// (x86-64) are held to the same digests.
#include "bench/modules.h"
#include "bench/stream_player.h"
#include "tests/support/modules.h"
#include "host/services.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testsupport;
constexpr uint32_t RATE = 44100;

// 64-bit FNV-1a over the samples, each taken as its two bytes low then high,
// so every byte order gives the same value for the same samples.
struct Digest {
    uint64_t value = 14695981039346656037ull;
    void add(const int16_t *samples, size_t count)
    {
        for (size_t i = 0; i < 2 * count; ++i)
            value = (value ^ ((uint16_t(samples[i / 2]) >> (8 * (i % 2))) & 0xFF)) * 1099511628211ull;
    }
};

struct Golden {
    const char *module;
    uint32_t seconds;         // rendered up to then, or to the song's end
    uint64_t first10s, whole; // the digests of the first 10 seconds and of all
};

// Recorded once from the render path as it stood when the digests became
// 64-bit (its SHA-256 digests of the benchmark modules still held).
const Golden GOLDEN[] = {
    {"dense4", 60, 0x9b3f539ee300ae1f, 0xbbb8c99b534b2b9a},
    {"dense16", 60, 0xcabbc229cfebea20, 0x0787f6e2f136cd46},
    {"dense64", 60, 0xbf4b2cc81e3269ad, 0x9bc9434c9bc70673},
    {"dense64echo", 60, 0x01aaae9f007df322, 0x871684cd97eb08dd},
    {"demo", 60, 0x181894d3bf2fa8cd, 0x424d576e7425a785},
    {"busy", 60, 0xdd64a09e612a5213, 0x9a477efe17378937},
    {"extreme-notes", 20, 0x81eb426694767139, 0xc17836476e96ac19},
    {"out-of-range", 20, 0xca769a5c721bec56, 0xac02ff0ed5fd2e16},
    {"strange-envelopes", 20, 0x873a6e342472a4ba, 0x6beea034c9f805ba},
    {"many-tracks", 20, 0x89e21acfccfc51a0, 0x8536c93b1f13627d},
    {"timing-1-32", 20, 0x483851c2156b756c, 0x341b81f141f19b28},
    {"timing-1-255", 20, 0x2557b1953b230a7a, 0x8087c940bf6b95ea},
    {"timing-31-32", 20, 0x9b4c93dc90cb3ba7, 0xe58c682f8fa75b76},
    {"timing-31-255", 20, 0x6bffe519ddf13961, 0x43bb56ce82fbf211},
    // Every command with every parameter in either column: 8 s each (all 256
    // rows), one digest for the 72 sweeps.
    {"effect-sweeps", 8, 0xcbf29ce484222325, 0x7e6a93acc4853749},
};

// Renders `bytes` up to `seconds` or its end into `whole`, noting the digest at 10 seconds.
void render(const std::string &name, const std::vector<uint8_t> &bytes, uint32_t seconds, Digest &whole, Digest &first10s)
{
    benchmodules::StreamPlayer player("golden-" + name + ".dbm", bytes);
    ASSERT_TRUE(player.ok()) << name;
    std::vector<int16_t> buffer(2 * 4096);
    for (uint32_t done = 0, written = 1; done < seconds * RATE && written > 0; done += written) {
        // Requests of 4096 frames, one of which ends at the 10-second mark.
        const uint32_t frames = std::min({seconds * RATE - done, 4096u, done < 10 * RATE ? 10 * RATE - done : 4096u});
        written = player.request(buffer.data(), frames);
        whole.add(buffer.data(), 2 * size_t(written));
        if (done + written == 10 * RATE)
            first10s = whole;
    }
}

} // namespace

TEST(Golden, EveryModuleRendersTheRecordedOutput)
{
    std::vector<std::pair<std::string, ModuleSpec>> modules = {{"dense4", benchmodules::denseModule(4, false)},
        {"dense16", benchmodules::denseModule(16, false)}, {"dense64", benchmodules::denseModule(64, false)},
        {"dense64echo", benchmodules::denseModule(64, true)}, {"demo", benchmodules::demoModule()}, {"busy", busyModule()}};
    for (auto &m : hostileModules())
        modules.push_back({m.name, m.desc});
    ASSERT_EQ(modules.size() + 1, std::size(GOLDEN));
    for (size_t i = 0; i < std::size(GOLDEN); ++i) {
        Digest whole, first10s;
        for (uint8_t sweep = 0; i == modules.size() && sweep < 2 * EFFECT_COUNT; ++sweep)
            render("sweep", modwriter::write(effectSweep(sweep / 2, 1 + sweep % 2)), GOLDEN[i].seconds, whole, first10s);
        if (i < modules.size())
            render(GOLDEN[i].module, modwriter::write(modules[i].second), GOLDEN[i].seconds, whole, first10s);
        EXPECT_EQ(first10s.value, GOLDEN[i].first10s) << GOLDEN[i].module << " first 10 s";
        EXPECT_EQ(whole.value, GOLDEN[i].whole) << GOLDEN[i].module;
    }
}

// Rendering takes no memory of its own: once its notes have built their voice
// chains, the dense 16-track module with echoes, its notes kept only in the
// first eight rows, renders on over several patterns (pulls, mixing, ticks,
// effects, echo settings) without a single allocation.
TEST(Golden, RenderingAllocatesNothingOnceNoNoteStarts)
{
    ModuleSpec desc = benchmodules::denseModule(16, true);
    for (size_t p = 0; p < desc.patterns.size(); ++p)
        for (size_t i = p == 0 ? 8 * size_t(desc.tracks) : 0; i < desc.patterns[p].cells.size(); ++i)
            desc.patterns[p].cells[i].octave = desc.patterns[p].cells[i].instrument = 0;
    benchmodules::StreamPlayer player("allocation-song.dbm", modwriter::write(desc));
    std::vector<int16_t> buffer(2 * 4096);
    const uint64_t atOpen = kvhost::allocationCount();
    uint64_t afterNotes = 0;
    for (int i = 0; i < 220; ++i) { // 20 requests (1.9 s) take it past row 8
        ASSERT_EQ(player.request(buffer.data(), 4096), 4096u);
        afterNotes = i == 19 ? kvhost::allocationCount() : afterNotes;
    }
    EXPECT_GT(afterNotes, atOpen); // the notes built voice chains, and the count saw it
    EXPECT_EQ(kvhost::allocationCount(), afterNotes);
}
