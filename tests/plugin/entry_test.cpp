// The plug-in's front door as the host meets it: the built digibooster.kvp,
// loaded with dlopen, found by its header, operations looked up by name.
#include "host/plugin_loader.h"
#include "host/services.h"
#include "tools/modwriter/modwriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using dbm::Word;

namespace {

struct Host {
    Word version;
    Word revision;
};

class PluginEntry : public ::testing::Test {
protected:
    void SetUp() override
    {
        kvhost::resetHostControls();
        ASSERT_TRUE(plugin.load(DBM_PLUGIN_PATH)) << plugin.message();
    }

    // Calls InitPlugin on a record the host filled with garbage apart from
    // its version and revision.
    int32_t init(Host host, Word *services)
    {
        auto initPlugin = plugin.operation<dbm::InitPluginFn>("InitPlugin");
        for (Word &word : info)
            word = 0xA5A5A5A5u;
        info[dbm::INFO_HOST_VERSION] = host.version;
        info[dbm::INFO_HOST_REVISION] = host.revision;
        return initPlugin(info, services);
    }

    kvhost::PluginHost plugin;
    Word info[dbm::INFO_WORDS + 2];
};

std::string text(Word word)
{
    return word ? reinterpret_cast<const char *>(word) : "(null)";
}

} // namespace

// Every operation of the entry table is found by its exact name.
TEST_F(PluginEntry, LooksUpEveryOperationByExactName)
{
    const char *names[] = {"InitPlugin", "ClosePlugin", "OpenStream", "CloseStream",
                           "SeekStream", "StreamSamples", "GetFormatName"};
    for (const char *name : names)
        EXPECT_NE(plugin.lookup(name), nullptr) << name;
    EXPECT_NE(plugin.lookup("InitPlugin"), plugin.lookup("GetFormatName"));
}

// Names differing in case, by a trailing blank, by being a prefix, or empty find nothing.
TEST_F(PluginEntry, LookupOfInexactNamesGivesNull)
{
    for (const char *name : {"initplugin", "InitPlugin ", "Init", "", "GetFormatNameX"})
        EXPECT_EQ(plugin.header()->lookup(name), nullptr) << '"' << name << '"';
}

// A null name finds nothing rather than crashing the host.
TEST_F(PluginEntry, LookupOfNullNameGivesNull)
{
    EXPECT_EQ(plugin.header()->lookup(nullptr), nullptr);
}

// GetFormatName, the last row of the table, returns "DigiBooster".
TEST_F(PluginEntry, GetFormatNameIsDigiBooster)
{
    auto formatName = plugin.operation<dbm::GetFormatNameFn>("GetFormatName");
    ASSERT_NE(formatName, nullptr);
    EXPECT_STREQ(formatName(), "DigiBooster");
}

// InitPlugin writes words 0..13 with the table's values and leaves later words alone.
TEST_F(PluginEntry, InitPluginFillsTheInfoRecord)
{
    ASSERT_EQ(init({6, 0}, kvhost::serviceRecord(10)), 1);
    EXPECT_EQ(info[dbm::INFO_CAPABILITIES], 16u);
    EXPECT_EQ(info[dbm::INFO_PLUGIN_VERSION], 1u);
    EXPECT_EQ(info[dbm::INFO_PLUGIN_REVISION], 2u);
    EXPECT_EQ(info[dbm::INFO_HOST_VERSION], 5u);
    EXPECT_EQ(info[dbm::INFO_HOST_REVISION], 0u);
    EXPECT_EQ(text(info[dbm::INFO_NAME]), "DigiBooster");
    EXPECT_EQ(text(info[dbm::INFO_BASE_NAME]), "digibooster");
    EXPECT_EQ(text(info[dbm::INFO_DESCRIPTION]), "Enables Kestrova to play DigiBooster modules");
    EXPECT_EQ(text(info[dbm::INFO_DATE]), "08.05.26");
    for (unsigned word : {dbm::INFO_AUTHOR, dbm::INFO_LICENCE, dbm::INFO_URL}) {
        ASSERT_NE(info[word], 0u) << word;
        EXPECT_GT(std::strlen(text(info[word]).c_str()), 0u) << word;
    }
    EXPECT_EQ(info[12], 0u);
    EXPECT_EQ(info[13], 0u);
    EXPECT_EQ(info[14], 0xA5A5A5A5u);
    EXPECT_EQ(info[15], 0xA5A5A5A5u);
}

// Words 3 and 4 come back as 5 and 0 whatever host version the host stated.
TEST_F(PluginEntry, InitPluginAnswersHostFiveZero)
{
    for (Host host : {Host{4, 9}, Host{5, 2}, Host{5, 3}, Host{6, 0}, Host{9, 7}, Host{0, 0}}) {
        ASSERT_EQ(init(host, kvhost::serviceRecord(10)), 1);
        EXPECT_EQ(info[dbm::INFO_HOST_VERSION], 5u) << host.version << '.' << host.revision;
        EXPECT_EQ(info[dbm::INFO_HOST_REVISION], 0u) << host.version << '.' << host.revision;
    }
}

// Hosts before 5.3 are described to but not registered with.
TEST_F(PluginEntry, HostsBeforeFiveThreeAreNotRegisteredWith)
{
    for (Host host : {Host{4, 9}, Host{5, 2}, Host{5, 0}, Host{4, 99}}) {
        ASSERT_EQ(init(host, kvhost::serviceRecord(10)), 1);
        EXPECT_TRUE(kvhost::registrations().empty()) << host.version << '.' << host.revision;
    }
}

// Hosts 5.3 and later get exactly one registration of "dbm" as "DigiBooster", kind 2.
TEST_F(PluginEntry, HostsFromFiveThreeAreRegisteredWith)
{
    for (Host host : {Host{5, 3}, Host{5, 9}, Host{6, 0}}) {
        kvhost::resetHostControls();
        ASSERT_EQ(init(host, kvhost::serviceRecord(10)), 1);
        auto registered = kvhost::registrations();
        ASSERT_EQ(registered.size(), 1u) << host.version << '.' << host.revision;
        EXPECT_EQ(registered[0].info, info);
        EXPECT_EQ(registered[0].kind, 2);
        EXPECT_EQ(registered[0].name, "DigiBooster");
        EXPECT_TRUE(registered[0].unusedIsNull);
        EXPECT_EQ(registered[0].extension, "dbm");
        EXPECT_EQ(registered[0].a, 0);
        EXPECT_EQ(registered[0].b, 0);
    }
}

// The gate reads the host's words before overwriting them: a second call on
// the same record, which now says 5.0, does not register again.
TEST_F(PluginEntry, RegistrationGateUsesTheWordsReadOnEntry)
{
    ASSERT_EQ(init({6, 0}, kvhost::serviceRecord(10)), 1);
    auto initPlugin = plugin.operation<dbm::InitPluginFn>("InitPlugin");
    ASSERT_EQ(initPlugin(info, kvhost::serviceRecord(10)), 1);
    EXPECT_EQ(kvhost::registrations().size(), 1u);
}

// A null service record is accepted: InitPlugin fills the record, returns 1 and registers nothing.
TEST_F(PluginEntry, NullServiceRecordRegistersNothing)
{
    EXPECT_EQ(init({6, 0}, nullptr), 1);
    EXPECT_EQ(info[dbm::INFO_CAPABILITIES], 16u);
    EXPECT_TRUE(kvhost::registrations().empty());
}

// A null info record is refused with 0 instead of a crash.
TEST_F(PluginEntry, NullInfoRecordIsRefused)
{
    auto initPlugin = plugin.operation<dbm::InitPluginFn>("InitPlugin");
    EXPECT_EQ(initPlugin(nullptr, kvhost::serviceRecord(10)), 0);
    EXPECT_TRUE(kvhost::registrations().empty());
}

// The format name, word 5 and the registered name are the same text.
TEST_F(PluginEntry, FormatNameMatchesInfoAndRegistration)
{
    ASSERT_EQ(init({5, 3}, kvhost::serviceRecord(10)), 1);
    auto formatName = plugin.operation<dbm::GetFormatNameFn>("GetFormatName");
    ASSERT_EQ(kvhost::registrations().size(), 1u);
    EXPECT_EQ(text(info[dbm::INFO_NAME]), formatName());
    EXPECT_EQ(kvhost::registrations()[0].name, formatName());
}

// PluginHost::start initialises with our host identity and registers the extension.
TEST_F(PluginEntry, StartInitialisesAsOurHost)
{
    kvhost::PluginHost host;
    ASSERT_TRUE(host.start(DBM_PLUGIN_PATH)) << host.message();
    EXPECT_EQ(host.info()[dbm::INFO_CAPABILITIES], 16u);
    ASSERT_EQ(kvhost::registrations().size(), 1u);
    EXPECT_EQ(kvhost::registrations()[0].info, host.info());
}

// The plug-in keeps the host's own version, not the 5 it writes back: hosts
// after 8 get the stream flag of value 8, earlier ones only the value 3.
TEST_F(PluginEntry, StreamFlagsFollowTheStoredHostVersion)
{
    kvhost::addMemoryFile("flags.dbm", modwriter::write(modwriter::minimalModule()));
    auto openStream = plugin.operation<dbm::OpenStreamFn>("OpenStream");
    auto closeStream = plugin.operation<dbm::CloseStreamFn>("CloseStream");
    for (Host host : {Host{8, 9}, Host{9, 0}}) {
        ASSERT_EQ(init(host, kvhost::serviceRecord(10)), 1);
        ASSERT_EQ(info[dbm::INFO_HOST_VERSION], 5u);
        Word format[dbm::FORMAT_WORDS] = {};
        format[dbm::FORMAT_FLAGS] = 0x100;
        void *stream = openStream("flags.dbm", format);
        ASSERT_NE(stream, nullptr) << host.version;
        EXPECT_EQ(format[dbm::FORMAT_FLAGS], host.version > 8 ? 0x10Bu : 0x103u) << host.version;
        closeStream(stream);
    }
    kvhost::removeMemoryFile("flags.dbm");
}
