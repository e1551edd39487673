// kvinfo [PLUGIN]: loads a Kestrova plug-in (by default the digibooster.kvp
// beside this program) as the host does and prints its header, the info
// record InitPlugin fills, its format name and its registrations.
#include "host/plugin_loader.h"
#include "host/services.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

namespace {

std::string besideThisProgram(const char *file)
{
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        return file;
    std::string self(path, size_t(n));
    return self.substr(0, self.rfind('/') + 1) + file;
}

const char *text(dbm::Word word)
{
    return word ? reinterpret_cast<const char *>(word) : "(null)";
}

} // namespace

int main(int argc, char **argv)
{
    using namespace dbm;
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: kvinfo [PLUGIN]\n");
        return 2;
    }
    std::string path = argc == 2 ? argv[1] : besideThisProgram("digibooster.kvp");

    kvhost::PluginHost plugin;
    if (!plugin.load(path)) {
        std::fprintf(stderr, "kvinfo: %s\n", plugin.message().c_str());
        return 1;
    }
    const PluginHeader *header = plugin.header();
    std::printf("plug-in      %s\n", path.c_str());
    std::printf("header       \"%.8s\" version %u, lookup routine found\n", header->magic,
                unsigned(header->version));

    if (!plugin.initialise(kvhost::HOST_VERSION, kvhost::HOST_REVISION,
                           kvhost::serviceRecord(kvhost::HOST_INTERFACE_VERSION))) {
        std::fprintf(stderr, "kvinfo: %s\n", plugin.message().c_str());
        return 1;
    }
    const Word *info = plugin.info();
    std::printf("InitPlugin   host %u.%u, interface %d: success\n", unsigned(kvhost::HOST_VERSION),
                unsigned(kvhost::HOST_REVISION), int(kvhost::HOST_INTERFACE_VERSION));
    std::printf("capabilities %lu\n", static_cast<unsigned long>(info[INFO_CAPABILITIES]));
    std::printf("version      %lu.%lu\n", static_cast<unsigned long>(info[INFO_PLUGIN_VERSION]),
                static_cast<unsigned long>(info[INFO_PLUGIN_REVISION]));
    std::printf("wants host   %lu.%lu\n", static_cast<unsigned long>(info[INFO_HOST_VERSION]),
                static_cast<unsigned long>(info[INFO_HOST_REVISION]));
    std::printf("name         %s\n", text(info[INFO_NAME]));
    std::printf("base name    %s\n", text(info[INFO_BASE_NAME]));
    std::printf("author       %s\n", text(info[INFO_AUTHOR]));
    std::printf("description  %s\n", text(info[INFO_DESCRIPTION]));
    std::printf("licence      %s\n", text(info[INFO_LICENCE]));
    std::printf("url          %s\n", text(info[INFO_URL]));
    std::printf("date         %s\n", text(info[INFO_DATE]));

    if (auto formatName = plugin.operation<GetFormatNameFn>("GetFormatName"))
        std::printf("format name  %s\n", formatName());
    for (const auto &registration : kvhost::registrations())
        std::printf("registered   extension \"%s\" as \"%s\" (kind %d)\n", registration.extension.c_str(),
                    registration.name.c_str(), int(registration.kind));
    return 0;
}
