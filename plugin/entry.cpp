// The plug-in's front door: the header the host finds in the loaded file, the
// entry table it looks operations up in, and the three operations that are
// not about audio.
#include "plugin/entry.h"
#include "base/host_services.h"
#include "plugin/stream.h"

#include <cstring>

namespace dbm {

namespace {

const char FORMAT_NAME[] = "DigiBooster";
const char BASE_NAME[] = "digibooster";
const char AUTHOR[] = "The digibooster.kvp developers";
const char DESCRIPTION[] = "Enables Kestrova to play DigiBooster modules";
const char LICENCE[] = "MIT";
const char URL[] = "https://example.org/digibooster-kvp";
const char DATE[] = "08.05.26";

struct EntryRow {
    const char *name;
    void *function;
};

const EntryRow ENTRY_TABLE[] = {
    {"InitPlugin", reinterpret_cast<void *>(&InitPlugin)},
    {"ClosePlugin", reinterpret_cast<void *>(&ClosePlugin)},
    {"OpenStream", reinterpret_cast<void *>(&OpenStream)},
    {"CloseStream", reinterpret_cast<void *>(&CloseStream)},
    {"SeekStream", reinterpret_cast<void *>(&SeekStream)},
    {"StreamSamples", reinterpret_cast<void *>(&StreamSamples)},
    {"GetFormatName", reinterpret_cast<void *>(&GetFormatName)},
    {nullptr, nullptr},
};

// Registration needs host 5.3 or later.
bool hostRegisters(Word version, Word revision)
{
    return version > 5 || (version == 5 && revision >= 3);
}

} // namespace

extern "C" void *lookupOperation(const char *name)
{
    if (!name)
        return nullptr;
    for (const EntryRow *row = ENTRY_TABLE; row->name; ++row)
        if (std::strcmp(row->name, name) == 0)
            return row->function;
    return nullptr;
}

// Nothing inside the plug-in refers to these two; the host finds the header
// by scanning the loaded file, and the operating system's version tools find
// the version string.
extern "C" __attribute__((used)) const PluginHeader kestrovaPluginHeader = {
    {'K', 'E', 'S', 'T', 'R', 'O', 'V', 'A'}, PLUGIN_HEADER_VERSION, &lookupOperation};
extern "C" __attribute__((used)) const char pluginVersionString[] =
    "$VER: digibooster.kvp 1.2 (08.05.26) [ppc-amigaos]";

extern "C" int32_t InitPlugin(Word *info, Word *host)
{
    // Without an info record there is nothing to describe the plug-in in.
    if (!info)
        return 0;
    const Word hostVersion = info[INFO_HOST_VERSION];
    const Word hostRevision = info[INFO_HOST_REVISION];
    pluginGlobals.hostVersion = static_cast<uint32_t>(hostVersion);

    info[INFO_CAPABILITIES] = 16;
    info[INFO_PLUGIN_VERSION] = 1;
    info[INFO_PLUGIN_REVISION] = 2;
    info[INFO_HOST_VERSION] = 5;
    info[INFO_HOST_REVISION] = 0;
    info[INFO_NAME] = reinterpret_cast<Word>(FORMAT_NAME);
    info[INFO_BASE_NAME] = reinterpret_cast<Word>(BASE_NAME);
    info[INFO_AUTHOR] = reinterpret_cast<Word>(AUTHOR);
    info[INFO_DESCRIPTION] = reinterpret_cast<Word>(DESCRIPTION);
    info[INFO_LICENCE] = reinterpret_cast<Word>(LICENCE);
    info[INFO_URL] = reinterpret_cast<Word>(URL);
    info[INFO_DATE] = reinterpret_cast<Word>(DATE);
    info[12] = 0;
    info[13] = 0;

    if (!host)
        return 1;
    pluginGlobals.host = host;
    if (hostRegisters(hostVersion, hostRevision))
        hostRegisterExtension(info, 2, FORMAT_NAME, nullptr, "dbm");
    return 1;
}

extern "C" void ClosePlugin(void) {}

extern "C" const char *GetFormatName(void)
{
    return FORMAT_NAME;
}

} // namespace dbm
