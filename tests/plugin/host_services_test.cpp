// The plug-in's side of the host services, through the core linked into this
// test with our host's service record installed.
#include "base/host_services.h"
#include "host/services.h"
#include "plugin/entry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using dbm::Word;

namespace {

class PluginServices : public ::testing::Test {
protected:
    void SetUp() override
    {
        dbm::pluginGlobals.host = kvhost::serviceRecord(10);
        kvhost::resetHostControls();
        kvhost::addMemoryFile("song.dbm", {'D', 'B', 'M', '0', 1, 2});
    }
    void TearDown() override { kvhost::removeMemoryFile("song.dbm"); }

    kvhost::OpenCall openAndClose(const char *adapter, void *tagObject)
    {
        void *file = dbm::openFile("song.dbm", 0, adapter, tagObject);
        EXPECT_NE(file, nullptr);
        dbm::hostClose(file);
        auto calls = kvhost::openCalls();
        EXPECT_EQ(calls.size(), 1u);
        return calls.empty() ? kvhost::OpenCall{} : calls.back();
    }
};

} // namespace

// With neither adapter nor tag object, openFile calls plain open with the name and mode.
TEST_F(PluginServices, OpenFileWithoutExtrasCallsOpen)
{
    auto call = openAndClose(nullptr, nullptr);
    EXPECT_FALSE(call.withTags);
    EXPECT_EQ(call.name, "song.dbm");
    EXPECT_EQ(call.mode, 0);
}

// An adapter name alone gives open with tags and the list {1, adapter}, end.
TEST_F(PluginServices, OpenFileWithAdapterPassesAdapterTag)
{
    const char adapter[] = "zip";
    auto call = openAndClose(adapter, nullptr);
    ASSERT_TRUE(call.withTags);
    EXPECT_EQ(call.tags, (std::vector<Word>{1, reinterpret_cast<Word>(adapter), 0}));
}

// A tag object alone gives open with tags and the list {6, object}, end.
TEST_F(PluginServices, OpenFileWithTagObjectPassesObjectTag)
{
    Word userTags[] = {77, 1, 0, 0};
    void *object = dbm::hostMakeTagObject(userTags);
    ASSERT_NE(object, nullptr);
    auto call = openAndClose(nullptr, object);
    dbm::hostFreeTagObject(object);
    ASSERT_TRUE(call.withTags);
    EXPECT_EQ(call.tags, (std::vector<Word>{6, reinterpret_cast<Word>(object), 0}));
}

// Both give {1, adapter}, {6, object}, end, in that order.
TEST_F(PluginServices, OpenFileWithBothPassesAdapterThenObject)
{
    const char adapter[] = "zip";
    Word userTags[] = {0, 0};
    void *object = dbm::hostMakeTagObject(userTags);
    ASSERT_NE(object, nullptr);
    auto call = openAndClose(adapter, object);
    dbm::hostFreeTagObject(object);
    ASSERT_TRUE(call.withTags);
    EXPECT_EQ(call.tags, (std::vector<Word>{1, reinterpret_cast<Word>(adapter), 6,
                                            reinterpret_cast<Word>(object), 0}));
}

// openFile hands back the host's null for a file that is not there.
TEST_F(PluginServices, OpenFileReturnsHostsNull)
{
    EXPECT_EQ(dbm::openFile("/no/such/file.dbm", 0, nullptr, nullptr), nullptr);
    EXPECT_EQ(dbm::openFile("/no/such/file.dbm", 0, "zip", nullptr), nullptr);
    EXPECT_EQ(kvhost::openCalls().size(), 2u);
    EXPECT_EQ(kvhost::openFiles(), 0u);
}

// Each wrapper reaches its slot of the record: allocate, free, read, close, tag objects.
TEST_F(PluginServices, WrappersReachTheirSlots)
{
    size_t blocks = kvhost::outstandingBlocks();
    auto *block = static_cast<unsigned char *>(dbm::hostAllocate(1300, 1));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(kvhost::outstandingBlocks(), blocks + 1);
    EXPECT_EQ(block[0] | block[1299], 0);
    dbm::hostFree(block);
    dbm::hostFree(nullptr);
    EXPECT_EQ(kvhost::outstandingBlocks(), blocks);

    void *file = dbm::openFile("song.dbm", 0, nullptr, nullptr);
    char magic[4];
    ASSERT_EQ(dbm::hostRead(file, magic, 4), 4);
    EXPECT_EQ(std::memcmp(magic, "DBM0", 4), 0);
    dbm::hostClose(file);
    EXPECT_EQ(kvhost::openFiles(), 0u);

    Word userTags[] = {5, 9, 0, 0};
    size_t objects = kvhost::outstandingTagObjects();
    void *object = dbm::hostMakeTagObject(userTags);
    EXPECT_EQ(kvhost::tagObjectTags(object), (std::vector<Word>{5, 9, 0}));
    dbm::hostFreeTagObject(object);
    EXPECT_EQ(kvhost::outstandingTagObjects(), objects);
}

// InitPlugin keeps the host's own version, not the 5 it writes back.
TEST_F(PluginServices, InitPluginStoresTheHostsVersion)
{
    Word info[dbm::INFO_WORDS] = {};
    info[dbm::INFO_HOST_VERSION] = 9;
    info[dbm::INFO_HOST_REVISION] = 1;
    ASSERT_EQ(dbm::InitPlugin(info, kvhost::serviceRecord(7)), 1);
    EXPECT_EQ(dbm::pluginGlobals.hostVersion, 9u);
    EXPECT_EQ(dbm::pluginGlobals.host, kvhost::serviceRecord(7));
    EXPECT_EQ(info[dbm::INFO_HOST_VERSION], 5u);
}

// A null service record leaves the stored record as it was.
TEST_F(PluginServices, InitPluginWithoutRecordKeepsStoredRecord)
{
    Word info[dbm::INFO_WORDS] = {};
    info[dbm::INFO_HOST_VERSION] = 4;
    ASSERT_EQ(dbm::InitPlugin(info, nullptr), 1);
    EXPECT_EQ(dbm::pluginGlobals.host, kvhost::serviceRecord(10));
    EXPECT_EQ(dbm::pluginGlobals.hostVersion, 4u);
}
