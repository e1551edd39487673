// Test helpers: load a module written by our module writer through the
// reader, served from a memory file, and own it for the length of a test.
//
// loadSpec/loadBytes install our stand-in host's service record when none is
// set, register the bytes under a name used once, load, and remove the file
// again. They return what loadModule returns (null with *error set on failure).
#pragma once

#include "host/services.h"
#include "module/loader.h"
#include "tests/support/host.h"
#include "tools/modwriter/modwriter.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

inline dbm::Module *loadBytes(const std::vector<uint8_t> &bytes, int32_t *error = nullptr)
{
    if (!dbm::pluginGlobals.host)
        useHost();
    static std::atomic<unsigned> serial{0};
    std::string name = "memory-module-" + std::to_string(++serial) + ".dbm";
    kvhost::addMemoryFile(name, bytes);
    dbm::Module *module = dbm::loadModule(name.c_str(), error, nullptr, nullptr);
    kvhost::removeMemoryFile(name);
    return module;
}

inline dbm::Module *loadSpec(const modwriter::ModuleSpec &desc, int32_t *error = nullptr)
{
    return loadBytes(modwriter::write(desc), error);
}

struct ModuleDeleter {
    void operator()(dbm::Module *module) const { dbm::freeModule(module); }
};
using ModuleHandle = std::unique_ptr<dbm::Module, ModuleDeleter>;

} // namespace testsupport
