// kvplay's own, statically linked copy of the player core. It inspects
// modules (--info, the duration scan, the reason a file cannot be loaded)
// while the audio itself always comes from the hosted plug-in. It reads
// through the same stand-in host services the plug-in is given.
#pragma once

#include "module/module.h"
#include "tools/kvplay/module_source.h"

#include <memory>
#include <string>

namespace kvplay {

// Hands the static core our host's service record; call once before the
// first load. Safe to call again.
void useStaticCore();

struct ModuleDeleter {
    void operator()(dbm::Module *module) const;
};
using ModulePtr = std::unique_ptr<dbm::Module, ModuleDeleter>;

// Loads the module with the static core, on the calling thread. On failure
// returns null and sets `error` to the reason (load_error.h). A module that
// loads although the file ended early (the reader plays what is missing as
// silence) sets `endsEarly`.
ModulePtr loadModuleFile(const ModuleSource &source, std::string &error, bool &endsEarly);

// The warning printed for a module that ends early.
std::string endsEarlyWarning(const ModuleSource &source);

} // namespace kvplay
