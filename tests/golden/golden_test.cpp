// The rendered output of the benchmark modules, pinned by SHA-256 digests:
// any change to the render path that alters a single output bit fails here.
// The first 10 and the first 60 seconds of each module are rendered through
// the stream in requests of 4096 frames and hashed as little-endian 16-bit
// samples, so the digests are the same on every byte order.
#include "bench/modules.h"
#include "bench/stream_player.h"
#include "tests/support/sha256.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t RATE = 44100;
constexpr uint32_t REQUEST_FRAMES = 4096;

struct Golden {
    const char *module;
    const char *first10s;
    const char *first60s;
};

// Recorded from the straightforward render path, before any optimisation.
const Golden GOLDEN[] = {
    {"dense4", "24cf3c523f4bd667054775a648bedea7b9e5bfc499277f8e1ab4d235190ca7bc",
     "c1318249dc7a55a49672ede114155df032805413a6fd17f4f9ec55a6d833b85b"},
    {"dense16", "0d55f3a7504fe1cbf22d21f33ccaf29221d72c2d9c6df0ea32f2ace10a279faf",
     "5d11f44f5685af4b2e77e767b274a8bdc2165fb1e0723cdbc26349b178e58b3d"},
    {"dense64", "5c1c50cb935d8d25ae5c1691a8f07c328462675faa32b160aa28d567dbadee62",
     "d6023c6dc6defb71242cc3c48794825b90a1881d2465da1f7fa76d9c49ac6578"},
    {"dense64echo", "8bbeea66233c3bfc2b16262a4eab5c0a0ef8be73b388498f016d0fc09853d74c",
     "a7b13de503e6be875f86eb98a74037064181fc80e225b1564ccb6d6223d9ffa2"},
    {"demo", "63942c3ef1d01c0ebd005bc30ed7d3d19a1bba1c978a44316211aef9016b7a7e",
     "62a27e4a2103d14cffb98da8d4cc7be645854ab0c14963f5b42cfea5d6ddfc2e"},
};

std::string digestOf(const std::string &text)
{
    testsupport::Sha256 hash;
    hash.update(reinterpret_cast<const uint8_t *>(text.data()), text.size());
    return hash.hexDigest();
}

// Digests of the first `shortSeconds` and `seconds` seconds of the module.
std::pair<std::string, std::string> renderDigests(const benchmodules::NamedModule &module,
                                                  uint32_t shortSeconds, uint32_t seconds)
{
    benchmodules::StreamPlayer player("golden-" + module.name + ".dbm", module.bytes);
    EXPECT_TRUE(player.ok());
    if (!player.ok())
        return {};
    testsupport::Sha256 hash;
    std::string shortDigest;
    std::vector<int16_t> buffer(2 * REQUEST_FRAMES);
    std::vector<uint8_t> bytes;
    for (uint32_t done = 0; done < seconds * RATE;) {
        uint32_t frames = seconds * RATE - done;
        if (frames > REQUEST_FRAMES)
            frames = REQUEST_FRAMES;
        if (done < shortSeconds * RATE && done + frames > shortSeconds * RATE)
            frames = shortSeconds * RATE - done; // end a request exactly at the short mark
        EXPECT_EQ(player.request(buffer.data(), frames), frames);
        bytes.clear();
        benchmodules::appendLittleEndian(bytes, buffer.data(), 2 * size_t(frames));
        hash.update(bytes.data(), bytes.size());
        done += frames;
        if (done == shortSeconds * RATE) {
            testsupport::Sha256 copy = hash;
            shortDigest = copy.hexDigest();
        }
    }
    return {shortDigest, hash.hexDigest()};
}

} // namespace

// The digest helper gives the published SHA-256 values.
TEST(GoldenDigest, MatchesKnownValues)
{
    EXPECT_EQ(digestOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(digestOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(digestOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

// Every benchmark module renders exactly the recorded output.
TEST(GoldenOutput, EveryModuleRendersTheRecordedOutput)
{
    const std::vector<benchmodules::NamedModule> modules = benchmodules::renderModules();
    ASSERT_EQ(modules.size(), sizeof GOLDEN / sizeof GOLDEN[0]);
    for (size_t i = 0; i < modules.size(); ++i) {
        SCOPED_TRACE(modules[i].name);
        ASSERT_EQ(modules[i].name, GOLDEN[i].module);
        const auto digests = renderDigests(modules[i], 10, 60);
        EXPECT_EQ(digests.first, GOLDEN[i].first10s);
        EXPECT_EQ(digests.second, GOLDEN[i].first60s);
    }
}
