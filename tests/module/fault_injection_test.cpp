// Every allocation and every read of a load may fail: the reader must refuse
// the file with the right code, release everything and close the file.
#include "tests/module/module_test.h"

namespace moduletest {
namespace {

using namespace dbm;

class FaultInjection : public ReaderTest {
protected:
    // A module that uses every chunk kind and every sample width.
    static std::vector<uint8_t> richModule()
    {
        ModuleSpec desc = modwriter::minimalModule(4);
        desc.samples.push_back({8, std::vector<int32_t>(9000, 0x40)});
        desc.samples.push_back({32, std::vector<int32_t>(3000, 0x01000000)});
        desc.samples.push_back({16, {}});
        desc.instruments.push_back({"Two", 2, 48, 16000});
        desc.songs.push_back({"Other", {1, 0}});
        desc.songs.push_back({"Empty", {}});
        desc.patterns.push_back(desc.patterns[0]);
        desc.patterns[1].at(3, 2, 4).effect1 = 0x0F;
        modwriter::EnvelopeSpec envelope;
        envelope.points = {{0, 64}};
        desc.volumeEnvelopes = {envelope};
        desc.panningEnvelopes = {envelope, envelope};
        desc.dspe = true;
        auto bytes = modwriter::write(desc);
        bytes.push_back(0); // a short tail: the end of the file
        return bytes;
    }
};

// The k-th allocation failing gives code 2 and leaves nothing allocated.
TEST_F(FaultInjection, EveryAllocationFailure)
{
    const auto bytes = richModule();
    uint64_t before = kvhost::allocationCount();
    ASSERT_NE(load(bytes), nullptr);
    const uint64_t allocations = kvhost::allocationCount() - before;
    ASSERT_GT(allocations, 20u);
    for (uint64_t k = 1; k <= allocations; ++k) {
        kvhost::failAllocation(k);
        int32_t code = 0;
        EXPECT_EQ(testsupport::loadBytes(bytes, &code), nullptr) << k;
        EXPECT_EQ(code, LOAD_ERROR_MEMORY) << k;
        EXPECT_EQ(kvhost::outstandingBlocks(), blocksBefore) << k;
        EXPECT_EQ(kvhost::openFiles(), 0u) << k;
        kvhost::resetHostControls();
    }
}

// The k-th read failing gives code 5, even where the file could have ended.
TEST_F(FaultInjection, EveryReadFailure)
{
    const auto bytes = richModule();
    uint64_t before = kvhost::readCount();
    ASSERT_NE(load(bytes), nullptr);
    const uint64_t reads = kvhost::readCount() - before;
    ASSERT_GT(reads, 20u);
    for (uint64_t k = 1; k <= reads; ++k) {
        kvhost::failRead(k);
        int32_t code = 0;
        ModuleHandle module(testsupport::loadBytes(bytes, &code));
        EXPECT_EQ(module, nullptr) << k;
        EXPECT_EQ(code, LOAD_ERROR_READ) << k;
        EXPECT_EQ(kvhost::outstandingBlocks(), blocksBefore) << k;
        EXPECT_EQ(kvhost::openFiles(), 0u) << k;
        kvhost::resetHostControls();
    }
}

// Damaged files of every kind close the file and release every block
// (checked by the fixture after each refusal).
TEST_F(FaultInjection, RefusalsReleaseEverything)
{
    auto bytes = richModule();
    for (size_t cut = 1; cut < bytes.size(); cut += 7) {
        std::vector<uint8_t> shorter(bytes.begin(), bytes.begin() + cut);
        ModuleHandle module(testsupport::loadBytes(shorter));
        EXPECT_EQ(kvhost::openFiles(), 0u) << cut;
    }
}

} // namespace
} // namespace moduletest
