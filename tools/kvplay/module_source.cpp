#include "tools/kvplay/module_source.h"

#include "host/services.h"
#include "tools/demo/embedded_demo.h"
#include "tools/kvplay/system_reason.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

namespace kvplay {
namespace {

ModuleSource inMemory(std::string display, const std::string &name, std::vector<uint8_t> bytes)
{
    const std::string hostName = ":kvplay:" + name;
    kvhost::addMemoryFile(hostName, bytes);
    return {hostName, std::move(display), std::make_shared<const std::vector<uint8_t>>(std::move(bytes)), ""};
}

} // namespace

ModuleSource moduleSource(const std::string &path, unsigned index, uint64_t limit)
{
    struct stat status;
    const bool standardInput = path == "-";
    // Regular files, folders and missing files go to the host as paths; the
    // reader's error then says what is wrong with them.
    if (!standardInput && (stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode) ||
                           S_ISDIR(status.st_mode)))
        return {path, path, nullptr, ""};
    const std::string display = standardInput ? "stdin" : path;
    std::FILE *file = standardInput ? stdin : std::fopen(path.c_str(), "rb");
    if (!file)
        return {path, display, nullptr, "cannot open it: " + systemReason(errno)};
    std::vector<uint8_t> bytes;
    uint8_t block[65536];
    size_t got = 0;
    while (bytes.size() <= limit && (got = std::fread(block, 1, sizeof block, file)) > 0)
        bytes.insert(bytes.end(), block, block + got);
    const int readError = std::ferror(file) ? errno : 0;
    if (!standardInput)
        std::fclose(file);
    if (readError)
        return {path, display, nullptr, "read error: " + systemReason(readError)};
    if (bytes.size() > limit)
        return {path, display, nullptr, "larger than the memory limit (--memory-limit)"};
    return inMemory(display, "input-" + std::to_string(index), std::move(bytes));
}

ModuleSource demoSource()
{
    return inMemory("demo", "demo.dbm",
                    std::vector<uint8_t>(demo::EMBEDDED_MODULE, demo::EMBEDDED_MODULE + demo::EMBEDDED_MODULE_SIZE));
}

} // namespace kvplay
