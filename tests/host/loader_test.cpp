// Loading plug-in files as the host does, and refusing files that are not
// usable plug-ins with a clear error.
#include "host/plugin_loader.h"
#include "host/services.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

using kvhost::PluginError;
using kvhost::PluginHost;

namespace {

PluginError loadError(const std::string &path)
{
    PluginHost plugin;
    bool loaded = plugin.load(path);
    EXPECT_EQ(loaded, plugin.loaded());
    EXPECT_EQ(loaded, plugin.error() == PluginError::None);
    if (!loaded) {
        EXPECT_NE(plugin.message().find(kvhost::describe(plugin.error())), std::string::npos);
    }
    return plugin.error();
}

PluginError startError(const std::string &path)
{
    PluginHost plugin;
    bool started = plugin.start(path);
    EXPECT_EQ(started, plugin.loaded());
    return plugin.error();
}

} // namespace

// The built plug-in defines no dynamic symbols, yet the header scan finds it.
TEST(PluginLoader, FindsPluginThatExportsNothing)
{
    PluginHost plugin;
    ASSERT_TRUE(plugin.load(DBM_PLUGIN_PATH)) << plugin.message();
    for (const char *symbol : {"InitPlugin", "GetFormatName", "OpenStream", "lookupOperation",
                               "kestrovaPluginHeader"})
        EXPECT_EQ(::dlsym(plugin.handle(), symbol), nullptr) << symbol;
    ASSERT_NE(plugin.header(), nullptr);
    EXPECT_EQ(std::string(plugin.header()->magic, 8), "KESTROVA");
    EXPECT_EQ(plugin.header()->version, 3u);
    EXPECT_NE(plugin.lookup("InitPlugin"), nullptr);
}

// The header found lies inside the plug-in file's own image.
TEST(PluginLoader, HeaderLiesInThePlugin)
{
    PluginHost plugin;
    ASSERT_TRUE(plugin.load(DBM_PLUGIN_PATH)) << plugin.message();
    Dl_info where{};
    ASSERT_NE(::dladdr(plugin.header(), &where), 0);
    EXPECT_EQ(std::string(where.dli_fname), DBM_PLUGIN_PATH);
}

// The plug-in file carries its AmigaOS version string.
TEST(PluginLoader, PluginFileCarriesVersionString)
{
    std::ifstream file(DBM_PLUGIN_PATH, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(bytes.find(std::string("$VER: digibooster.kvp 1.2 (08.05.26) [ppc-amigaos]") + '\0'),
              std::string::npos);
}

// A missing file is reported as such.
TEST(PluginLoader, MissingFileIsReported)
{
    EXPECT_EQ(loadError("/no/such/plugin.kvp"), PluginError::FileMissing);
}

// A text file is not a shared object.
TEST(PluginLoader, TextFileIsNotASharedObject)
{
    std::string path = ::testing::TempDir() + "kvhost_not_a_plugin.kvp";
    std::ofstream(path) << "KESTROVA is just a word here\n";
    EXPECT_EQ(loadError(path), PluginError::NotSharedObject);
    std::remove(path.c_str());
}

// A shared object without the header is not a plug-in, although this test
// program itself carries one.
TEST(PluginLoader, SharedObjectWithoutHeaderIsRefused)
{
    EXPECT_EQ(loadError(FAKE_NO_HEADER), PluginError::NoHeader);
}

// A header of version 2 is refused as the wrong version.
TEST(PluginLoader, HeaderVersionTwoIsRefused)
{
    EXPECT_EQ(loadError(FAKE_VERSION_2), PluginError::WrongVersion);
}

// A header whose lookup address is not in the object's code does not count.
TEST(PluginLoader, LookupOutsideCodeIsNoHeader)
{
    EXPECT_EQ(loadError(FAKE_LOOKUP_IN_DATA), PluginError::NoHeader);
}

// A plug-in whose lookup knows no InitPlugin cannot be started.
TEST(PluginLoader, MissingInitPluginIsReported)
{
    EXPECT_EQ(startError(FAKE_NO_INIT), PluginError::NoInitPlugin);
}

// An InitPlugin that returns 0 fails the start and unloads the plug-in.
TEST(PluginLoader, FailingInitPluginIsReported)
{
    EXPECT_EQ(startError(FAKE_INIT_FAILS), PluginError::InitFailed);
}

// A host that failed once loads a good plug-in afterwards, clean of the old error.
TEST(PluginLoader, LoadsAgainAfterAFailure)
{
    PluginHost plugin;
    EXPECT_FALSE(plugin.load(FAKE_VERSION_2));
    ASSERT_TRUE(plugin.start(DBM_PLUGIN_PATH)) << plugin.message();
    EXPECT_EQ(plugin.error(), PluginError::None);
    EXPECT_TRUE(plugin.message().empty());
    plugin.unload();
    EXPECT_FALSE(plugin.loaded());
    EXPECT_EQ(plugin.lookup("InitPlugin"), nullptr);
}
