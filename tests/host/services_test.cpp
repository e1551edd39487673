// Our host's services as the plug-in sees them through the service record,
// and the fault controls the other tests rely on.
#include "base/host_services.h"
#include "host/services.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <vector>

using dbm::Word;

namespace {

class HostServices : public ::testing::Test {
protected:
    void SetUp() override
    {
        dbm::pluginGlobals.host = kvhost::serviceRecord(10);
        kvhost::resetHostControls();
        kvhost::addMemoryFile("ten", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    }
    void TearDown() override
    {
        kvhost::resetHostControls();
        kvhost::removeMemoryFile("ten");
    }

    // Byte counts of successive reads of up to `ask` bytes until one gives 0 or less.
    static std::vector<int32_t> readAll(const char *name, int32_t ask)
    {
        std::vector<int32_t> counts;
        void *file = dbm::openFile(name, 0, nullptr, nullptr);
        EXPECT_NE(file, nullptr);
        char buffer[64];
        int32_t n;
        do {
            n = dbm::hostRead(file, buffer, ask);
            counts.push_back(n);
        } while (n > 0 && counts.size() < 100);
        dbm::hostClose(file);
        return counts;
    }
};

} // namespace

// Each record carries its interface version in word 0 and is kept for the process.
TEST_F(HostServices, RecordCarriesInterfaceVersion)
{
    EXPECT_EQ(static_cast<int32_t>(kvhost::serviceRecord(5)[dbm::SERVICE_INTERFACE_VERSION]), 5);
    EXPECT_EQ(static_cast<int32_t>(kvhost::serviceRecord(-1)[dbm::SERVICE_INTERFACE_VERSION]), -1);
    EXPECT_EQ(kvhost::serviceRecord(5), kvhost::serviceRecord(5));
}

// Blocks are zero-filled and counted until freed.
TEST_F(HostServices, AllocationIsZeroFilledAndCounted)
{
    size_t before = kvhost::outstandingBlocks();
    auto *block = static_cast<uint8_t *>(dbm::hostAllocate(4, 25));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(block[i], 0) << i;
    EXPECT_EQ(kvhost::outstandingBlocks(), before + 1);
    dbm::hostFree(block);
    EXPECT_EQ(kvhost::outstandingBlocks(), before);
}

// A request for more than 32 bits of bytes is refused, not truncated.
TEST_F(HostServices, OversizedAllocationIsRefused)
{
    size_t before = kvhost::outstandingBlocks();
    EXPECT_EQ(dbm::hostAllocate(65536, 65536), nullptr);
    EXPECT_EQ(dbm::hostAllocate(0xFFFFFFFFu, 0xFFFFFFFFu), nullptr);
    EXPECT_EQ(kvhost::outstandingBlocks(), before);
}

// failAllocation(k) fails exactly the k-th request from now.
TEST_F(HostServices, FailsTheKthAllocation)
{
    kvhost::failAllocation(3);
    std::vector<void *> blocks;
    for (int i = 0; i < 5; ++i)
        blocks.push_back(dbm::hostAllocate(1, 8));
    EXPECT_NE(blocks[0], nullptr);
    EXPECT_NE(blocks[1], nullptr);
    EXPECT_EQ(blocks[2], nullptr);
    EXPECT_NE(blocks[3], nullptr);
    EXPECT_NE(blocks[4], nullptr);
    for (void *block : blocks)
        dbm::hostFree(block);
}

// failAllocationsFrom(k) fails the k-th request and every later one.
TEST_F(HostServices, FailsEveryAllocationFromTheKth)
{
    kvhost::failAllocationsFrom(2);
    void *first = dbm::hostAllocate(1, 8);
    EXPECT_NE(first, nullptr);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(dbm::hostAllocate(1, 8), nullptr);
    dbm::hostFree(first);
}

// A memory file reads in order to its end, then gives 0.
TEST_F(HostServices, MemoryFileReadsToItsEnd)
{
    EXPECT_EQ(readAll("ten", 4), (std::vector<int32_t>{4, 4, 2, 0}));
    EXPECT_EQ(kvhost::openFiles(), 0u);
}

// Files of the system are read too.
TEST_F(HostServices, SystemFileIsRead)
{
    std::string path = ::testing::TempDir() + "kvhost_seven_bytes";
    std::ofstream(path, std::ios::binary) << "1234567";
    EXPECT_EQ(readAll(path.c_str(), 5), (std::vector<int32_t>{5, 2, 0}));
    std::remove(path.c_str());
}

// A missing file gives null and leaves no file counted open.
TEST_F(HostServices, MissingFileGivesNull)
{
    EXPECT_EQ(dbm::openFile("/no/such/file", 0, nullptr, nullptr), nullptr);
    EXPECT_EQ(kvhost::openFiles(), 0u);
}

// limitReads caps every read; shortenRead caps only the k-th.
TEST_F(HostServices, ReadsCanBeShortened)
{
    kvhost::limitReads(3);
    EXPECT_EQ(readAll("ten", 8), (std::vector<int32_t>{3, 3, 3, 1, 0}));
    kvhost::resetHostControls();
    kvhost::shortenRead(2, 1);
    EXPECT_EQ(readAll("ten", 4), (std::vector<int32_t>{4, 1, 4, 1, 0}));
}

// failRead(k) makes the k-th read fail with -1.
TEST_F(HostServices, FailsTheKthRead)
{
    kvhost::failRead(2);
    EXPECT_EQ(readAll("ten", 4), (std::vector<int32_t>{4, -1}));
}

// A tag object owns a copy of the user tags, end tag included.
TEST_F(HostServices, TagObjectCopiesUserTags)
{
    Word tags[] = {3, 30, 4, 40, 0, 99};
    size_t before = kvhost::outstandingTagObjects();
    void *object = dbm::hostMakeTagObject(tags);
    ASSERT_NE(object, nullptr);
    tags[1] = 0;
    EXPECT_EQ(kvhost::tagObjectTags(object), (std::vector<Word>{3, 30, 4, 40, 0}));
    EXPECT_EQ(kvhost::outstandingTagObjects(), before + 1);
    dbm::hostFreeTagObject(object);
    EXPECT_EQ(kvhost::outstandingTagObjects(), before);
}

// Every registration is recorded with its arguments.
TEST_F(HostServices, RegistrationIsRecorded)
{
    Word info[dbm::INFO_WORDS] = {};
    dbm::hostRegisterExtension(info, 2, "Name", nullptr, "ext");
    auto registered = kvhost::registrations();
    ASSERT_EQ(registered.size(), 1u);
    EXPECT_EQ(registered[0].info, info);
    EXPECT_EQ(registered[0].kind, 2);
    EXPECT_EQ(registered[0].name, "Name");
    EXPECT_TRUE(registered[0].unusedIsNull);
    EXPECT_EQ(registered[0].extension, "ext");
}
